// Recording definitions of the GL and GLU entry points the show calls; see gl_trace.h.
#include "tests/support/gl_trace.h"

#include <GL/glu.h>
#include <map>
#include <mutex>
#include <set>

namespace {

// Starts as a fresh GL context does.
struct TraceState {
    std::vector<GlCall> calls;
    GLuint nextTexture = 1, nextList = 1, compiling = 0;
    std::set<GLenum> enabled = {GL_DITHER};
    GLuint boundTexture = 0;
    std::map<std::pair<GLuint, GLenum>, GLint> texParameters;
    std::array<GLenum, 2> blend = {GL_ONE, GL_ZERO};
    std::map<GLenum, int> matrixDepth;
    GLenum matrixMode = GL_MODELVIEW;
};

std::mutex TraceLock;
TraceState Trace;

// Records the call; returns whether state calls take effect (not inside a compiled list).
bool Record(const char *name, std::vector<double> args) {
    Trace.calls.push_back({name, std::move(args)});
    return Trace.compiling == 0;
}

} // namespace

void GlTraceReset() {
    std::lock_guard<std::mutex> hold(TraceLock);
    Trace = TraceState{};
}

const std::vector<GlCall> &GlTraceCalls() {
    return Trace.calls;
}

size_t GlTraceCount(const std::string &name, size_t from) {
    size_t count = 0;
    for (size_t i = from; i < Trace.calls.size(); i++)
        count += Trace.calls[i].name == name;
    return count;
}

const GlCall *GlTraceFind(const std::string &name, size_t from) {
    for (size_t i = from; i < Trace.calls.size(); i++)
        if (Trace.calls[i].name == name)
            return &Trace.calls[i];
    return nullptr;
}

bool GlTraceEnabled(GLenum capability) {
    return Trace.enabled.count(capability) != 0;
}

GLuint GlTraceBoundTexture() {
    return Trace.boundTexture;
}

GLint GlTraceTexParameter(GLuint texture, GLenum pname) {
    auto found = Trace.texParameters.find({texture, pname});
    return found != Trace.texParameters.end() ? found->second : GL_REPEAT;
}

std::array<GLenum, 2> GlTraceBlendFunc() {
    return Trace.blend;
}

int GlTraceMatrixDepth() {
    return 1 + Trace.matrixDepth[Trace.matrixMode];
}

#define LOCKED std::lock_guard<std::mutex> hold(TraceLock)
// An entry point that records its arguments and then, unless a list is being compiled, has
// `effect` on the state.
#define ENTRY(name, params, effect, ...)                                                           \
    void name params {                                                                             \
        LOCKED;                                                                                    \
        if (Record(#name, {__VA_ARGS__}))                                                          \
            effect;                                                                                \
    }
#define PLAIN(name, params, ...) ENTRY(name, params, (void)0, __VA_ARGS__)

extern "C" {

PLAIN(glBegin, (GLenum mode), double(mode))
PLAIN(glEnd, ())
PLAIN(glVertex3f, (GLfloat x, GLfloat y, GLfloat z), x, y, z)
PLAIN(glVertex3fv, (const GLfloat *v), v[0], v[1], v[2])
PLAIN(glNormal3f, (GLfloat x, GLfloat y, GLfloat z), x, y, z)
PLAIN(glTexCoord2f, (GLfloat s, GLfloat t), s, t)
PLAIN(glColor4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), r, g, b, a)
PLAIN(glTranslatef, (GLfloat x, GLfloat y, GLfloat z), x, y, z)
PLAIN(glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), angle, x, y, z)
PLAIN(glScalef, (GLfloat x, GLfloat y, GLfloat z), x, y, z)
PLAIN(glLoadIdentity, ())
PLAIN(glCallList, (GLuint list), double(list))
PLAIN(glClear, (GLbitfield mask), double(mask))
PLAIN(glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a), r, g, b, a)
PLAIN(glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), double(x), double(y), double(w),
      double(h))
PLAIN(glPixelStorei, (GLenum pname, GLint param), double(pname), double(param))
PLAIN(glLightfv, (GLenum light, GLenum pname, const GLfloat *p), double(light), double(pname), p[0],
      p[1], p[2], p[3])
// The first value only: a shininess has no more.
PLAIN(glMaterialfv, (GLenum face, GLenum pname, const GLfloat *p), double(face), double(pname),
      p[0])
PLAIN(glFlush, ())
PLAIN(glReadPixels, (GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, GLvoid *),
      double(x), double(y), double(w), double(h), double(format), double(type))
PLAIN(gluPerspective, (GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar), fovy, aspect,
      zNear, zFar)

ENTRY(glEnable, (GLenum capability), Trace.enabled.insert(capability), double(capability))
ENTRY(glDisable, (GLenum capability), Trace.enabled.erase(capability), double(capability))
ENTRY(glBindTexture, (GLenum target, GLuint texture), Trace.boundTexture = texture, double(target),
      double(texture))
ENTRY(glTexParameteri, (GLenum target, GLenum pname, GLint param),
      (Trace.texParameters[{Trace.boundTexture, pname}] = param), double(target), double(pname),
      double(param))
ENTRY(glBlendFunc, (GLenum sfactor, GLenum dfactor), (Trace.blend = {sfactor, dfactor}),
      double(sfactor), double(dfactor))
ENTRY(glMatrixMode, (GLenum mode), Trace.matrixMode = mode, double(mode))
ENTRY(glPushMatrix, (), Trace.matrixDepth[Trace.matrixMode]++)
ENTRY(glPopMatrix, (), Trace.matrixDepth[Trace.matrixMode]--)
ENTRY(glNewList, (GLuint list, GLenum mode), Trace.compiling = list, double(list), double(mode))

void glGenTextures(GLsizei n, GLuint *textures) {
    LOCKED;
    Record("glGenTextures", {double(n)});
    for (GLsizei i = 0; i < n; i++)
        textures[i] = Trace.nextTexture++;
}
GLuint glGenLists(GLsizei range) {
    LOCKED;
    Record("glGenLists", {double(range)});
    GLuint first = Trace.nextList;
    Trace.nextList += GLuint(range);
    return first;
}
void glEndList() {
    LOCKED;
    Trace.compiling = 0;
    Record("glEndList", {});
}
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei w, GLsizei h, GLenum format,
                        GLenum type, const void *) {
    LOCKED;
    Record("gluBuild2DMipmaps", {double(target), double(internalFormat), double(w), double(h),
                                 double(format), double(type)});
    return 0;
}

} // extern "C"
