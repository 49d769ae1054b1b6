// A recording stand-in for the OpenGL 1.1 and GLU entry points the show calls: a program that
// links `gl_trace` instead of the real GL gets each call recorded in order with its numeric
// arguments (arrays expanded), and a model of the state the pictures depend on. Calls compiled
// into a display list change no state; textures and lists are named from 1.
#pragma once
#include <GL/gl.h>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

struct GlCall {
    std::string name;
    std::vector<double> args;
};

// Forgets every call, restarts the names at 1 and puts the state back to the GL defaults.
void GlTraceReset();
const std::vector<GlCall> &GlTraceCalls();
// Calls named `name` at or after index `from`.
size_t GlTraceCount(const std::string &name, size_t from = 0);
// The first call named `name` at or after `from`, or null.
const GlCall *GlTraceFind(const std::string &name, size_t from = 0);

bool GlTraceEnabled(GLenum capability);
GLuint GlTraceBoundTexture(); // of GL_TEXTURE_2D
// A texture parameter as last set; GL_REPEAT, the wrap modes' default, if never set.
GLint GlTraceTexParameter(GLuint texture, GLenum pname);
std::array<GLenum, 2> GlTraceBlendFunc();
int GlTraceMatrixDepth(); // of the current matrix mode, 1 when nothing is pushed
