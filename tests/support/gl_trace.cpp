// Recording definitions of the GL and GLU entry points the show calls; see gl_trace.h.
#include "tests/support/gl_trace.h"

#include <GL/glu.h>
#include <map>
#include <mutex>
#include <set>

namespace {

struct TraceState {
    std::vector<GlCall> calls;
    GLuint nextTexture, nextList, compiling;
    std::set<GLenum> enabled;
    GLuint boundTexture;
    std::map<std::pair<GLuint, GLenum>, GLint> texParameters;
    std::array<GLenum, 2> blend;
    std::map<GLenum, int> matrixDepth;
    GLenum matrixMode;
};

std::mutex TraceLock;
TraceState Trace;

void ResetLocked() {
    Trace = TraceState{};
    Trace.nextTexture = Trace.nextList = 1;
    Trace.enabled = {GL_DITHER};
    Trace.blend = {GL_ONE, GL_ZERO};
    Trace.matrixMode = GL_MODELVIEW;
}

const bool TraceReady = (ResetLocked(), true);

// Records the call; returns whether state calls take effect (not inside a compiled list).
bool Record(const char *name, std::vector<double> args) {
    Trace.calls.push_back({name, std::move(args)});
    return Trace.compiling == 0;
}

} // namespace

void GlTraceReset() {
    std::lock_guard<std::mutex> hold(TraceLock);
    ResetLocked();
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
// An entry point that only records its arguments.
#define PLAIN(name, params, ...)                                                                   \
    void name params {                                                                             \
        LOCKED;                                                                                    \
        Record(#name, {__VA_ARGS__});                                                              \
    }

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

void glEnable(GLenum capability) {
    LOCKED;
    if (Record("glEnable", {double(capability)}))
        Trace.enabled.insert(capability);
}
void glDisable(GLenum capability) {
    LOCKED;
    if (Record("glDisable", {double(capability)}))
        Trace.enabled.erase(capability);
}
void glGenTextures(GLsizei n, GLuint *textures) {
    LOCKED;
    Record("glGenTextures", {double(n)});
    for (GLsizei i = 0; i < n; i++)
        textures[i] = Trace.nextTexture++;
}
void glBindTexture(GLenum target, GLuint texture) {
    LOCKED;
    if (Record("glBindTexture", {double(target), double(texture)}))
        Trace.boundTexture = texture;
}
void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    LOCKED;
    if (Record("glTexParameteri", {double(target), double(pname), double(param)}))
        Trace.texParameters[{Trace.boundTexture, pname}] = param;
}
void glBlendFunc(GLenum sfactor, GLenum dfactor) {
    LOCKED;
    if (Record("glBlendFunc", {double(sfactor), double(dfactor)}))
        Trace.blend = {sfactor, dfactor};
}
GLuint glGenLists(GLsizei range) {
    LOCKED;
    Record("glGenLists", {double(range)});
    GLuint first = Trace.nextList;
    Trace.nextList += GLuint(range);
    return first;
}
void glNewList(GLuint list, GLenum mode) {
    LOCKED;
    Record("glNewList", {double(list), double(mode)});
    Trace.compiling = list;
}
void glEndList() {
    LOCKED;
    Trace.compiling = 0;
    Record("glEndList", {});
}
void glMatrixMode(GLenum mode) {
    LOCKED;
    if (Record("glMatrixMode", {double(mode)}))
        Trace.matrixMode = mode;
}
void glPushMatrix() {
    LOCKED;
    if (Record("glPushMatrix", {}))
        Trace.matrixDepth[Trace.matrixMode]++;
}
void glPopMatrix() {
    LOCKED;
    if (Record("glPopMatrix", {}))
        Trace.matrixDepth[Trace.matrixMode]--;
}
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei w, GLsizei h, GLenum format,
                        GLenum type, const void *) {
    LOCKED;
    Record("gluBuild2DMipmaps", {double(target), double(internalFormat), double(w), double(h),
                                 double(format), double(type)});
    return 0;
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    LOCKED;
    Record("gluPerspective", {fovy, aspect, zNear, zFar});
}

} // extern "C"
