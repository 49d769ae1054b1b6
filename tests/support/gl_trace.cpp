// Recording definitions of the GL and GLU entry points; see gl_trace.h.
#include "tests/support/gl_trace.h"

#include "assets/assets.h"

#include <GL/glu.h>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

struct EnumName {
    GLenum value;
    const char *name;
};

// Enumerants by value. Values that two names share (GL_ONE and GL_LINES, for instance)
// are named by the argument's own table below.
const EnumName ENUM_NAMES[] = {
    {GL_TEXTURE_2D, "GL_TEXTURE_2D"},
    {GL_TEXTURE_1D, "GL_TEXTURE_1D"},
    {GL_BLEND, "GL_BLEND"},
    {GL_FOG, "GL_FOG"},
    {GL_LIGHTING, "GL_LIGHTING"},
    {GL_LIGHT0, "GL_LIGHT0"},
    {GL_LIGHT1, "GL_LIGHT1"},
    {GL_LIGHT2, "GL_LIGHT2"},
    {GL_LIGHT3, "GL_LIGHT3"},
    {GL_DEPTH_TEST, "GL_DEPTH_TEST"},
    {GL_CULL_FACE, "GL_CULL_FACE"},
    {GL_COLOR_MATERIAL, "GL_COLOR_MATERIAL"},
    {GL_NORMALIZE, "GL_NORMALIZE"},
    {GL_ALPHA_TEST, "GL_ALPHA_TEST"},
    {GL_SCISSOR_TEST, "GL_SCISSOR_TEST"},
    {GL_DITHER, "GL_DITHER"},
    {GL_SRC_COLOR, "GL_SRC_COLOR"},
    {GL_ONE_MINUS_SRC_COLOR, "GL_ONE_MINUS_SRC_COLOR"},
    {GL_SRC_ALPHA, "GL_SRC_ALPHA"},
    {GL_ONE_MINUS_SRC_ALPHA, "GL_ONE_MINUS_SRC_ALPHA"},
    {GL_DST_ALPHA, "GL_DST_ALPHA"},
    {GL_ONE_MINUS_DST_ALPHA, "GL_ONE_MINUS_DST_ALPHA"},
    {GL_DST_COLOR, "GL_DST_COLOR"},
    {GL_ONE_MINUS_DST_COLOR, "GL_ONE_MINUS_DST_COLOR"},
    {GL_SRC_ALPHA_SATURATE, "GL_SRC_ALPHA_SATURATE"},
    {GL_TEXTURE_MAG_FILTER, "GL_TEXTURE_MAG_FILTER"},
    {GL_TEXTURE_MIN_FILTER, "GL_TEXTURE_MIN_FILTER"},
    {GL_TEXTURE_WRAP_S, "GL_TEXTURE_WRAP_S"},
    {GL_TEXTURE_WRAP_T, "GL_TEXTURE_WRAP_T"},
    {GL_CLAMP, "GL_CLAMP"},
    {GL_REPEAT, "GL_REPEAT"},
    {0x812F, "GL_CLAMP_TO_EDGE"},
    {GL_NEAREST, "GL_NEAREST"},
    {GL_LINEAR, "GL_LINEAR"},
    {GL_NEAREST_MIPMAP_NEAREST, "GL_NEAREST_MIPMAP_NEAREST"},
    {GL_LINEAR_MIPMAP_NEAREST, "GL_LINEAR_MIPMAP_NEAREST"},
    {GL_NEAREST_MIPMAP_LINEAR, "GL_NEAREST_MIPMAP_LINEAR"},
    {GL_LINEAR_MIPMAP_LINEAR, "GL_LINEAR_MIPMAP_LINEAR"},
    {GL_TEXTURE_ENV, "GL_TEXTURE_ENV"},
    {GL_TEXTURE_ENV_MODE, "GL_TEXTURE_ENV_MODE"},
    {GL_MODULATE, "GL_MODULATE"},
    {GL_DECAL, "GL_DECAL"},
    {GL_REPLACE, "GL_REPLACE"},
    {GL_ALPHA, "GL_ALPHA"},
    {GL_RGB, "GL_RGB"},
    {GL_RGBA, "GL_RGBA"},
    {GL_LUMINANCE, "GL_LUMINANCE"},
    {GL_LUMINANCE_ALPHA, "GL_LUMINANCE_ALPHA"},
    {GL_UNSIGNED_BYTE, "GL_UNSIGNED_BYTE"},
    {GL_FLOAT, "GL_FLOAT"},
    {GL_UNPACK_ALIGNMENT, "GL_UNPACK_ALIGNMENT"},
    {GL_PACK_ALIGNMENT, "GL_PACK_ALIGNMENT"},
    {GL_COMPILE, "GL_COMPILE"},
    {GL_COMPILE_AND_EXECUTE, "GL_COMPILE_AND_EXECUTE"},
    {GL_MODELVIEW, "GL_MODELVIEW"},
    {GL_PROJECTION, "GL_PROJECTION"},
    {GL_TEXTURE, "GL_TEXTURE"},
    {GL_FRONT, "GL_FRONT"},
    {GL_BACK, "GL_BACK"},
    {GL_FRONT_AND_BACK, "GL_FRONT_AND_BACK"},
    {GL_POSITION, "GL_POSITION"},
    {GL_AMBIENT, "GL_AMBIENT"},
    {GL_DIFFUSE, "GL_DIFFUSE"},
    {GL_SPECULAR, "GL_SPECULAR"},
    {GL_EMISSION, "GL_EMISSION"},
    {GL_SHININESS, "GL_SHININESS"},
    {GL_AMBIENT_AND_DIFFUSE, "GL_AMBIENT_AND_DIFFUSE"},
    {GL_SPOT_DIRECTION, "GL_SPOT_DIRECTION"},
    {GL_SPOT_EXPONENT, "GL_SPOT_EXPONENT"},
    {GL_SPOT_CUTOFF, "GL_SPOT_CUTOFF"},
    {GL_CONSTANT_ATTENUATION, "GL_CONSTANT_ATTENUATION"},
    {GL_LINEAR_ATTENUATION, "GL_LINEAR_ATTENUATION"},
    {GL_QUADRATIC_ATTENUATION, "GL_QUADRATIC_ATTENUATION"},
    {GL_LIGHT_MODEL_AMBIENT, "GL_LIGHT_MODEL_AMBIENT"},
    {GL_LIGHT_MODEL_TWO_SIDE, "GL_LIGHT_MODEL_TWO_SIDE"},
    {GL_LIGHT_MODEL_LOCAL_VIEWER, "GL_LIGHT_MODEL_LOCAL_VIEWER"},
    {GL_FOG_MODE, "GL_FOG_MODE"},
    {GL_FOG_DENSITY, "GL_FOG_DENSITY"},
    {GL_FOG_START, "GL_FOG_START"},
    {GL_FOG_END, "GL_FOG_END"},
    {GL_FOG_COLOR, "GL_FOG_COLOR"},
    {GL_EXP, "GL_EXP"},
    {GL_EXP2, "GL_EXP2"},
    {GL_SMOOTH, "GL_SMOOTH"},
    {GL_FLAT, "GL_FLAT"},
    {GL_NEVER, "GL_NEVER"},
    {GL_LESS, "GL_LESS"},
    {GL_EQUAL, "GL_EQUAL"},
    {GL_LEQUAL, "GL_LEQUAL"},
    {GL_GREATER, "GL_GREATER"},
    {GL_NOTEQUAL, "GL_NOTEQUAL"},
    {GL_GEQUAL, "GL_GEQUAL"},
    {GL_ALWAYS, "GL_ALWAYS"},
    {GL_PERSPECTIVE_CORRECTION_HINT, "GL_PERSPECTIVE_CORRECTION_HINT"},
    {GL_FOG_HINT, "GL_FOG_HINT"},
    {GL_NICEST, "GL_NICEST"},
    {GL_FASTEST, "GL_FASTEST"},
    {GL_DONT_CARE, "GL_DONT_CARE"},
};

const char *const PRIMITIVE_NAMES[] = {
    "GL_POINTS",         "GL_LINES",        "GL_LINE_LOOP", "GL_LINE_STRIP", "GL_TRIANGLES",
    "GL_TRIANGLE_STRIP", "GL_TRIANGLE_FAN", "GL_QUADS",     "GL_QUAD_STRIP", "GL_POLYGON",
};

const EnumName CLEAR_BITS[] = {
    {GL_COLOR_BUFFER_BIT, "GL_COLOR_BUFFER_BIT"},
    {GL_DEPTH_BUFFER_BIT, "GL_DEPTH_BUFFER_BIT"},
    {GL_STENCIL_BUFFER_BIT, "GL_STENCIL_BUFFER_BIT"},
    {GL_ACCUM_BUFFER_BIT, "GL_ACCUM_BUFFER_BIT"},
};

struct Region {
    std::string name;
    const unsigned char *begin;
    size_t bytes;
};

struct TraceState {
    std::vector<GlCall> calls;
    std::vector<Region> regions;
    GLuint nextTexture, nextList;
    std::set<GLenum> enabled;
    GLuint boundTexture;
    std::map<std::pair<GLuint, GLenum>, GLint> texParameters;
    std::array<float, 4> color;
    std::map<GLenum, int> matrixDepth;
    GLenum matrixMode;
    std::array<GLenum, 2> blend;
    GLuint compiling;
    GLenum compileMode;
    bool insideBegin;
};

std::recursive_mutex TraceLock;
TraceState Trace;

void ResetLocked() {
    Trace.calls.clear();
    Trace.regions.clear();
    Trace.regions.push_back({"ImageBlock", ImageBlock, size_t(ImageBlockEnd - ImageBlock)});
    Trace.nextTexture = 1;
    Trace.nextList = 1;
    Trace.enabled = {GL_DITHER};
    Trace.boundTexture = 0;
    Trace.texParameters.clear();
    Trace.color = {1.0f, 1.0f, 1.0f, 1.0f};
    Trace.matrixDepth.clear();
    Trace.matrixMode = GL_MODELVIEW;
    Trace.blend = {GL_ONE, GL_ZERO};
    Trace.compiling = 0;
    Trace.compileMode = 0;
    Trace.insideBegin = false;
}

// Runs once before main, so a program that never calls GlTraceReset still starts clean.
const bool TraceReady = (ResetLocked(), true);

GlArg Int(int64_t value) {
    GlArg a{};
    a.kind = GlArgKind::Int;
    a.integer = value;
    return a;
}
GlArg Enum(int64_t value, GlNaming naming = GlNaming::General) {
    GlArg a{};
    a.kind = GlArgKind::Enum;
    a.integer = value;
    a.naming = naming;
    return a;
}
GlArg Float(float value) {
    GlArg a{};
    a.kind = GlArgKind::Float;
    a.single = value;
    return a;
}
GlArg Double(double value) {
    GlArg a{};
    a.kind = GlArgKind::Double;
    a.real = value;
    return a;
}
GlArg Floats(const GLfloat *values, size_t count) {
    GlArg a{};
    a.kind = GlArgKind::Floats;
    if (values)
        a.floats.assign(values, values + count);
    return a;
}
GlArg Names(const GLuint *values, GLsizei count) {
    GlArg a{};
    a.kind = GlArgKind::Names;
    if (values && count > 0)
        a.names.assign(values, values + count);
    return a;
}
GlArg Pointer(const void *value) {
    GlArg a{};
    a.kind = GlArgKind::Pointer;
    a.pointer = value;
    return a;
}

// Whether state calls take effect now: not while a list is compiled without execution.
bool Executing() {
    return !(Trace.compiling != 0 && Trace.compileMode == GL_COMPILE);
}

void Record(const char *name, std::vector<GlArg> args) {
    Trace.calls.push_back({name, std::move(args), Trace.compiling});
}

// Number of floats a lighting, material or fog array parameter holds.
size_t ParameterCount(GLenum pname) {
    switch (pname) {
    case GL_AMBIENT:
    case GL_DIFFUSE:
    case GL_SPECULAR:
    case GL_POSITION:
    case GL_EMISSION:
    case GL_AMBIENT_AND_DIFFUSE:
    case GL_FOG_COLOR:
    case GL_LIGHT_MODEL_AMBIENT:
        return 4;
    case GL_SPOT_DIRECTION:
    case GL_COLOR_INDEXES:
        return 3;
    default:
        return 1;
    }
}

void AppendNumber(std::string &out, float value) {
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}
void AppendNumber(std::string &out, double value) {
    char text[40];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void AppendHex(std::string &out, uint64_t value) {
    char text[24];
    snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    out += text;
}

void AppendEnum(std::string &out, int64_t value, GlNaming naming) {
    if (naming == GlNaming::Primitive && value >= 0 && value <= GL_POLYGON) {
        out += PRIMITIVE_NAMES[value];
        return;
    }
    if (naming == GlNaming::Blend && (value == GL_ZERO || value == GL_ONE)) {
        out += value == GL_ZERO ? "GL_ZERO" : "GL_ONE";
        return;
    }
    if (naming == GlNaming::Bits) {
        uint64_t rest = uint64_t(value);
        std::string names;
        for (const EnumName &bit : CLEAR_BITS) {
            if (rest & bit.value) {
                names += names.empty() ? "" : "|";
                names += bit.name;
                rest &= ~uint64_t(bit.value);
            }
        }
        if (rest != 0 || names.empty()) {
            names += names.empty() ? "" : "|";
            AppendHex(names, rest);
        }
        out += names;
        return;
    }
    for (const EnumName &known : ENUM_NAMES) {
        if (int64_t(known.value) == value) {
            out += known.name;
            return;
        }
    }
    AppendHex(out, uint64_t(value));
}

void AppendPointer(std::string &out, const void *pointer) {
    if (!pointer) {
        out += "NULL";
        return;
    }
    auto address = static_cast<const unsigned char *>(pointer);
    for (const Region &region : Trace.regions) {
        if (address >= region.begin && address < region.begin + region.bytes) {
            out += region.name + "+" + std::to_string(address - region.begin);
            return;
        }
    }
    AppendHex(out, uint64_t(reinterpret_cast<uintptr_t>(pointer)));
}

const GlArg &ArgOf(const GlCall &call, size_t i, GlArgKind kind) {
    static const GlArg none{};
    if (i >= call.args.size()) {
        ADD_FAILURE() << call.Text() << " has no argument " << i;
        return none;
    }
    if (call.args[i].kind != kind) {
        ADD_FAILURE() << "argument " << i << " of " << call.Text() << " is of another kind";
        return none;
    }
    return call.args[i];
}

} // namespace

std::string GlCall::Text() const {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    std::string out = name + "(";
    for (size_t i = 0; i < args.size(); i++) {
        const GlArg &a = args[i];
        if (i > 0)
            out += ",";
        switch (a.kind) {
        case GlArgKind::Int:
            out += std::to_string(a.integer);
            break;
        case GlArgKind::Enum:
            AppendEnum(out, a.integer, a.naming);
            break;
        case GlArgKind::Float:
            AppendNumber(out, a.single);
            break;
        case GlArgKind::Double:
            AppendNumber(out, a.real);
            break;
        case GlArgKind::Floats:
            out += "{";
            for (size_t k = 0; k < a.floats.size(); k++) {
                if (k > 0)
                    out += ",";
                AppendNumber(out, a.floats[k]);
            }
            out += "}";
            break;
        case GlArgKind::Names:
            out += "{";
            for (size_t k = 0; k < a.names.size(); k++)
                out += (k > 0 ? "," : "") + std::to_string(a.names[k]);
            out += "}";
            break;
        case GlArgKind::Pointer:
            AppendPointer(out, a.pointer);
            break;
        }
    }
    return out + ")";
}

float GlCall::F(size_t i) const {
    return ArgOf(*this, i, GlArgKind::Float).single;
}
double GlCall::D(size_t i) const {
    return ArgOf(*this, i, GlArgKind::Double).real;
}
int64_t GlCall::I(size_t i) const {
    if (i < args.size() && args[i].kind == GlArgKind::Enum)
        return args[i].integer;
    return ArgOf(*this, i, GlArgKind::Int).integer;
}
const std::vector<float> &GlCall::V(size_t i) const {
    return ArgOf(*this, i, GlArgKind::Floats).floats;
}
const void *GlCall::P(size_t i) const {
    return ArgOf(*this, i, GlArgKind::Pointer).pointer;
}

void GlTraceReset() {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    ResetLocked();
}

const std::vector<GlCall> &GlTraceCalls() {
    return Trace.calls;
}

std::vector<std::string> GlTraceTexts(size_t from, size_t count) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    std::vector<std::string> texts;
    for (size_t i = from; i < Trace.calls.size() && i - from < count; i++)
        texts.push_back(Trace.calls[i].Text());
    return texts;
}

size_t GlTraceCount(const std::string &name) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    return size_t(std::count_if(Trace.calls.begin(), Trace.calls.end(),
                                [&](const GlCall &c) { return c.name == name; }));
}

size_t GlTraceFind(const std::string &text, size_t from) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    for (size_t i = from; i < Trace.calls.size(); i++)
        if (Trace.calls[i].Text() == text)
            return i;
    return SIZE_MAX;
}

void GlTraceNameRegion(const char *name, const void *begin, size_t bytes) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    Trace.regions.push_back({name, static_cast<const unsigned char *>(begin), bytes});
}

::testing::AssertionResult GlStreamEquals(const std::vector<std::string> &actual,
                                          const std::vector<std::string> &expected) {
    size_t n = std::min(actual.size(), expected.size());
    size_t diff = 0;
    while (diff < n && (expected[diff] == "*" || actual[diff] == expected[diff]))
        diff++;
    if (diff == n && actual.size() == expected.size())
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    failure << "call streams differ at call " << diff << " (" << actual.size()
            << " calls, expected " << expected.size() << ")\n";
    size_t first = diff >= 3 ? diff - 3 : 0;
    for (size_t i = first; i < diff + 4 && (i < actual.size() || i < expected.size()); i++) {
        failure << (i == diff ? "> " : "  ") << i << ": "
                << (i < actual.size() ? actual[i] : "(none)") << "   expected "
                << (i < expected.size() ? expected[i] : "(none)") << "\n";
    }
    return failure;
}

bool GlTraceEnabled(GLenum capability) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    return Trace.enabled.count(capability) != 0;
}

GLuint GlTraceBoundTexture() {
    return Trace.boundTexture;
}

GLint GlTraceTexParameter(GLuint texture, GLenum pname) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    auto found = Trace.texParameters.find({texture, pname});
    if (found != Trace.texParameters.end())
        return found->second;
    switch (pname) {
    case GL_TEXTURE_MAG_FILTER:
        return GL_LINEAR;
    case GL_TEXTURE_MIN_FILTER:
        return GL_NEAREST_MIPMAP_LINEAR;
    default:
        return GL_REPEAT;
    }
}

std::array<float, 4> GlTraceColor() {
    return Trace.color;
}

int GlTraceMatrixDepth(GLenum mode) {
    std::lock_guard<std::recursive_mutex> hold(TraceLock);
    return 1 + Trace.matrixDepth[mode];
}

GLenum GlTraceMatrixMode() {
    return Trace.matrixMode;
}

std::array<GLenum, 2> GlTraceBlendFunc() {
    return Trace.blend;
}

GLuint GlTraceCompilingList() {
    return Trace.compiling;
}

bool GlTraceInsideBegin() {
    return Trace.insideBegin;
}

// ---- The recording entry points ----

#define TRACE_LOCK std::lock_guard<std::recursive_mutex> hold(TraceLock)

extern "C" {

void glBegin(GLenum mode) {
    TRACE_LOCK;
    Record("glBegin", {Enum(mode, GlNaming::Primitive)});
    if (Executing())
        Trace.insideBegin = true;
}
void glEnd() {
    TRACE_LOCK;
    Record("glEnd", {});
    if (Executing())
        Trace.insideBegin = false;
}
void glVertex2f(GLfloat x, GLfloat y) {
    TRACE_LOCK;
    Record("glVertex2f", {Float(x), Float(y)});
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    TRACE_LOCK;
    Record("glVertex3f", {Float(x), Float(y), Float(z)});
}
void glVertex3fv(const GLfloat *v) {
    TRACE_LOCK;
    Record("glVertex3fv", {Floats(v, 3)});
}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    TRACE_LOCK;
    Record("glNormal3f", {Float(x), Float(y), Float(z)});
}
void glNormal3fv(const GLfloat *v) {
    TRACE_LOCK;
    Record("glNormal3fv", {Floats(v, 3)});
}
void glTexCoord2f(GLfloat s, GLfloat t) {
    TRACE_LOCK;
    Record("glTexCoord2f", {Float(s), Float(t)});
}
void glTexCoord2fv(const GLfloat *v) {
    TRACE_LOCK;
    Record("glTexCoord2fv", {Floats(v, 2)});
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    TRACE_LOCK;
    Record("glColor3f", {Float(r), Float(g), Float(b)});
    if (Executing())
        Trace.color = {r, g, b, 1.0f};
}
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    TRACE_LOCK;
    Record("glColor4f", {Float(r), Float(g), Float(b), Float(a)});
    if (Executing())
        Trace.color = {r, g, b, a};
}
void glColor4fv(const GLfloat *v) {
    TRACE_LOCK;
    Record("glColor4fv", {Floats(v, 4)});
    if (Executing())
        Trace.color = {v[0], v[1], v[2], v[3]};
}
void glColor4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a) {
    TRACE_LOCK;
    Record("glColor4ub", {Int(r), Int(g), Int(b), Int(a)});
    if (Executing())
        Trace.color = {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
}

void glEnable(GLenum capability) {
    TRACE_LOCK;
    Record("glEnable", {Enum(capability)});
    if (Executing())
        Trace.enabled.insert(capability);
}
void glDisable(GLenum capability) {
    TRACE_LOCK;
    Record("glDisable", {Enum(capability)});
    if (Executing())
        Trace.enabled.erase(capability);
}
GLboolean glIsEnabled(GLenum capability) {
    TRACE_LOCK;
    Record("glIsEnabled", {Enum(capability)});
    return Trace.enabled.count(capability) ? GL_TRUE : GL_FALSE;
}
GLenum glGetError() {
    TRACE_LOCK;
    Record("glGetError", {});
    return GL_NO_ERROR;
}

void glGenTextures(GLsizei n, GLuint *textures) {
    TRACE_LOCK;
    for (GLsizei i = 0; i < n; i++)
        textures[i] = Trace.nextTexture++;
    Record("glGenTextures", {Int(n), Names(textures, n)});
}
void glDeleteTextures(GLsizei n, const GLuint *textures) {
    TRACE_LOCK;
    Record("glDeleteTextures", {Int(n), Names(textures, n)});
}
void glBindTexture(GLenum target, GLuint texture) {
    TRACE_LOCK;
    Record("glBindTexture", {Enum(target), Int(texture)});
    if (Executing() && target == GL_TEXTURE_2D)
        Trace.boundTexture = texture;
}
void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    TRACE_LOCK;
    Record("glTexParameteri", {Enum(target), Enum(pname), Enum(param)});
    if (Executing() && target == GL_TEXTURE_2D)
        Trace.texParameters[{Trace.boundTexture, pname}] = param;
}
void glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    TRACE_LOCK;
    Record("glTexParameterf", {Enum(target), Enum(pname), Float(param)});
    if (Executing() && target == GL_TEXTURE_2D)
        Trace.texParameters[{Trace.boundTexture, pname}] = GLint(param);
}
void glTexEnvi(GLenum target, GLenum pname, GLint param) {
    TRACE_LOCK;
    Record("glTexEnvi", {Enum(target), Enum(pname), Enum(param)});
}
void glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
    TRACE_LOCK;
    Record("glTexEnvf", {Enum(target), Enum(pname), Float(param)});
}
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid *pixels) {
    TRACE_LOCK;
    Record("glTexImage2D", {Enum(target), Int(level), Enum(internalFormat), Int(width), Int(height),
                            Int(border), Enum(format), Enum(type), Pointer(pixels)});
}
void glPixelStorei(GLenum pname, GLint param) {
    TRACE_LOCK;
    Record("glPixelStorei", {Enum(pname), Int(param)});
}

GLuint glGenLists(GLsizei range) {
    TRACE_LOCK;
    Record("glGenLists", {Int(range)});
    GLuint first = Trace.nextList;
    Trace.nextList += GLuint(range > 0 ? range : 0);
    return range > 0 ? first : 0;
}
void glNewList(GLuint list, GLenum mode) {
    TRACE_LOCK;
    Record("glNewList", {Int(list), Enum(mode)});
    Trace.compiling = list;
    Trace.compileMode = mode;
}
void glEndList() {
    TRACE_LOCK;
    Trace.compiling = 0;
    Trace.compileMode = 0;
    Record("glEndList", {});
}
void glCallList(GLuint list) {
    TRACE_LOCK;
    Record("glCallList", {Int(list)});
}
void glDeleteLists(GLuint list, GLsizei range) {
    TRACE_LOCK;
    Record("glDeleteLists", {Int(list), Int(range)});
}

void glMatrixMode(GLenum mode) {
    TRACE_LOCK;
    Record("glMatrixMode", {Enum(mode)});
    if (Executing())
        Trace.matrixMode = mode;
}
void glLoadIdentity() {
    TRACE_LOCK;
    Record("glLoadIdentity", {});
}
void glPushMatrix() {
    TRACE_LOCK;
    Record("glPushMatrix", {});
    if (Executing())
        Trace.matrixDepth[Trace.matrixMode]++;
}
void glPopMatrix() {
    TRACE_LOCK;
    Record("glPopMatrix", {});
    if (Executing())
        Trace.matrixDepth[Trace.matrixMode]--;
}
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    TRACE_LOCK;
    Record("glTranslatef", {Float(x), Float(y), Float(z)});
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    TRACE_LOCK;
    Record("glRotatef", {Float(angle), Float(x), Float(y), Float(z)});
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    TRACE_LOCK;
    Record("glScalef", {Float(x), Float(y), Float(z)});
}
void glLoadMatrixf(const GLfloat *m) {
    TRACE_LOCK;
    Record("glLoadMatrixf", {Floats(m, 16)});
}
void glMultMatrixf(const GLfloat *m) {
    TRACE_LOCK;
    Record("glMultMatrixf", {Floats(m, 16)});
}
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    TRACE_LOCK;
    Record("glOrtho", {Double(l), Double(r), Double(b), Double(t), Double(n), Double(f)});
}
void glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
    TRACE_LOCK;
    Record("glFrustum", {Double(l), Double(r), Double(b), Double(t), Double(n), Double(f)});
}

void glClear(GLbitfield mask) {
    TRACE_LOCK;
    Record("glClear", {Enum(mask, GlNaming::Bits)});
}
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    TRACE_LOCK;
    Record("glClearColor", {Float(r), Float(g), Float(b), Float(a)});
}
void glClearDepth(GLclampd depth) {
    TRACE_LOCK;
    Record("glClearDepth", {Double(depth)});
}
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    TRACE_LOCK;
    Record("glViewport", {Int(x), Int(y), Int(width), Int(height)});
}
void glBlendFunc(GLenum sfactor, GLenum dfactor) {
    TRACE_LOCK;
    Record("glBlendFunc", {Enum(sfactor, GlNaming::Blend), Enum(dfactor, GlNaming::Blend)});
    if (Executing())
        Trace.blend = {sfactor, dfactor};
}
void glShadeModel(GLenum mode) {
    TRACE_LOCK;
    Record("glShadeModel", {Enum(mode)});
}
void glDepthFunc(GLenum func) {
    TRACE_LOCK;
    Record("glDepthFunc", {Enum(func)});
}
void glDepthMask(GLboolean flag) {
    TRACE_LOCK;
    Record("glDepthMask", {Int(flag)});
}
void glCullFace(GLenum mode) {
    TRACE_LOCK;
    Record("glCullFace", {Enum(mode)});
}
void glHint(GLenum target, GLenum mode) {
    TRACE_LOCK;
    Record("glHint", {Enum(target), Enum(mode)});
}

void glLightfv(GLenum light, GLenum pname, const GLfloat *params) {
    TRACE_LOCK;
    Record("glLightfv", {Enum(light), Enum(pname), Floats(params, ParameterCount(pname))});
}
void glLightf(GLenum light, GLenum pname, GLfloat param) {
    TRACE_LOCK;
    Record("glLightf", {Enum(light), Enum(pname), Float(param)});
}
void glLightModelfv(GLenum pname, const GLfloat *params) {
    TRACE_LOCK;
    Record("glLightModelfv", {Enum(pname), Floats(params, ParameterCount(pname))});
}
void glLightModeli(GLenum pname, GLint param) {
    TRACE_LOCK;
    Record("glLightModeli", {Enum(pname), Int(param)});
}
void glMaterialfv(GLenum face, GLenum pname, const GLfloat *params) {
    TRACE_LOCK;
    Record("glMaterialfv", {Enum(face), Enum(pname), Floats(params, ParameterCount(pname))});
}
void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    TRACE_LOCK;
    Record("glMaterialf", {Enum(face), Enum(pname), Float(param)});
}
void glColorMaterial(GLenum face, GLenum mode) {
    TRACE_LOCK;
    Record("glColorMaterial", {Enum(face), Enum(mode)});
}
void glFogf(GLenum pname, GLfloat param) {
    TRACE_LOCK;
    Record("glFogf", {Enum(pname), Float(param)});
}
void glFogi(GLenum pname, GLint param) {
    TRACE_LOCK;
    Record("glFogi", {Enum(pname), Enum(param)});
}
void glFogfv(GLenum pname, const GLfloat *params) {
    TRACE_LOCK;
    Record("glFogfv", {Enum(pname), Floats(params, ParameterCount(pname))});
}

void glFlush() {
    TRACE_LOCK;
    Record("glFlush", {});
}
void glFinish() {
    TRACE_LOCK;
    Record("glFinish", {});
}
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                  GLvoid *pixels) {
    TRACE_LOCK;
    Record("glReadPixels",
           {Int(x), Int(y), Int(width), Int(height), Enum(format), Enum(type), Pointer(pixels)});
}

GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void *data) {
    TRACE_LOCK;
    Record("gluBuild2DMipmaps", {Enum(target), Enum(internalFormat), Int(width), Int(height),
                                 Enum(format), Enum(type), Pointer(data)});
    return 0;
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    TRACE_LOCK;
    Record("gluPerspective", {Double(fovy), Double(aspect), Double(zNear), Double(zFar)});
}
void gluOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top) {
    TRACE_LOCK;
    Record("gluOrtho2D", {Double(left), Double(right), Double(bottom), Double(top)});
}
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    TRACE_LOCK;
    Record("gluLookAt", {Double(eyeX), Double(eyeY), Double(eyeZ), Double(centerX), Double(centerY),
                         Double(centerZ), Double(upX), Double(upY), Double(upZ)});
}

} // extern "C"
