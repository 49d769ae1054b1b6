// A recording stand-in for the OpenGL 1.1 and GLU entry points the show calls.
//
// A test program that links the `gl_trace` target (and not the real GL) gets every such
// call recorded in order with its exact arguments: floats as floats, doubles as doubles,
// arrays passed by pointer captured by value. Each call also has a compact text form,
// e.g. "glTranslatef(0,0,-3.5)", "glEnable(GL_TEXTURE_2D)", "glVertex3fv({0,1,0.25})",
// "gluBuild2DMipmaps(GL_TEXTURE_2D,GL_RGB,128,128,GL_RGB,GL_UNSIGNED_BYTE,ImageBlock+8192)".
// Numbers print in their shortest exact form: a float prints as the shortest decimal that
// reads back as the same float, so comparing texts compares bit patterns ("0.1" is 0.1f;
// a double widened from 0.1f prints "0.10000000149011612"). Enumerants print by name (an
// unknown one in hex), glClear's mask as "GL_COLOR_BUFFER_BIT|GL_DEPTH_BUFFER_BIT".
//
// glGenTextures and glGenLists hand out increasing names from 1. A small model of the
// state the show relies on (capabilities, texture binding and parameters, colour, matrix
// stack depths, blend factors) follows the calls and answers glIsEnabled; calls compiled
// into a display list with GL_COMPILE are recorded (tagged with the list) but change no
// state, and glCallList does not replay them.
#pragma once
#include <GL/gl.h>
#include <array>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

enum class GlArgKind {
    Int,     // integer argument (sizes, coordinates, names)
    Enum,    // enumerant, printed by name
    Float,   // single-precision value
    Double,  // double-precision value
    Floats,  // float array read through a pointer
    Names,   // GLuint array read (or written, for glGenTextures) through a pointer
    Pointer, // address, printed relative to a named region
};

// How an enumerant argument is named: most by the common table; glBegin's mode, the blend
// factors (GL_ZERO, GL_ONE) and glClear's mask by their own.
enum class GlNaming { General, Primitive, Blend, Bits };

struct GlArg {
    GlArgKind kind;
    int64_t integer;           // Int, Enum
    float single;              // Float
    double real;               // Double
    std::vector<float> floats; // Floats
    std::vector<GLuint> names; // Names
    const void *pointer;       // Pointer
    GlNaming naming;           // Enum
};

struct GlCall {
    std::string name;
    std::vector<GlArg> args;
    GLuint list; // display list being compiled when the call came, 0 outside any list

    std::string Text() const;
    // Typed access to argument i; a wrong kind fails the current test and returns 0.
    float F(size_t i) const;
    double D(size_t i) const;
    int64_t I(size_t i) const;
    const std::vector<float> &V(size_t i) const;
    const void *P(size_t i) const;
};

// Forgets every call, restarts the fake names at 1 and puts the state model back to the
// OpenGL defaults.
void GlTraceReset();
const std::vector<GlCall> &GlTraceCalls();
// Texts of the calls [from, from + count).
std::vector<std::string> GlTraceTexts(size_t from = 0, size_t count = SIZE_MAX);
size_t GlTraceCount(const std::string &name);
// Index of the first call at or after `from` whose text is `text`, or SIZE_MAX.
size_t GlTraceFind(const std::string &text, size_t from = 0);
// Pointers into [begin, begin + bytes) print as "name+offset". ImageBlock is known from
// the start.
void GlTraceNameRegion(const char *name, const void *begin, size_t bytes);

// Compares two call-text lists; "*" in `expected` matches any one call. On failure the
// message shows the first difference with the calls around it.
::testing::AssertionResult GlStreamEquals(const std::vector<std::string> &actual,
                                          const std::vector<std::string> &expected);

// The state model.
bool GlTraceEnabled(GLenum capability);
GLuint GlTraceBoundTexture(); // of GL_TEXTURE_2D
// A texture parameter as last set, or its OpenGL default (wrap GL_REPEAT, magnification
// GL_LINEAR, minification GL_NEAREST_MIPMAP_LINEAR).
GLint GlTraceTexParameter(GLuint texture, GLenum pname);
std::array<float, 4> GlTraceColor();
int GlTraceMatrixDepth(GLenum mode); // 1 when nothing is pushed
GLenum GlTraceMatrixMode();
std::array<GLenum, 2> GlTraceBlendFunc();
GLuint GlTraceCompilingList(); // 0 outside glNewList/glEndList
bool GlTraceInsideBegin();
