// scenes_record: runs the offline show in one scene state and writes the GL calls of its
// timed frames to standard output as a flat stream (scene_states.h), for scenes_bench to
// replay bare. Linked with --wrap for every GL and GLU entry point the show's library
// calls: each wrapper appends the call to the stream, then makes the real call, so the
// show draws as usual while it is recorded.
// Usage: scenes_record STATE [FRAMES]
#include "bench/scenes/scene_states.h"
#include "core/offline.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool Recording;
std::vector<uint32_t> Stream;

uint32_t Bits(float value) {
    uint32_t word;
    memcpy(&word, &value, sizeof word);
    return word;
}

void Put(uint32_t op) {
    if (Recording)
        Stream.push_back(op);
}

void Put(uint32_t op, std::initializer_list<uint32_t> args) {
    if (!Recording)
        return;
    Stream.push_back(op);
    Stream.insert(Stream.end(), args);
}

void PutDoubles(uint32_t op, std::initializer_list<double> args) {
    if (!Recording)
        return;
    Stream.push_back(op);
    for (double value : args) {
        uint32_t words[2];
        memcpy(words, &value, sizeof words);
        Stream.insert(Stream.end(), {words[0], words[1]});
    }
}

// Calls that only start-up makes: the replay has no use for them inside a frame.
void NotInFrame(const char *name) {
    if (Recording) {
        fprintf(stderr, "scenes_record: %s inside a timed frame: the replay cannot repeat it\n",
                name);
        exit(1);
    }
}

} // namespace

extern "C" {

void __real_glClear(GLbitfield mask);
void __wrap_glClear(GLbitfield mask) {
    Put(OP_CLEAR, {mask});
    __real_glClear(mask);
}
void __real_glMatrixMode(GLenum mode);
void __wrap_glMatrixMode(GLenum mode) {
    Put(OP_MATRIX_MODE, {mode});
    __real_glMatrixMode(mode);
}
void __real_glLoadIdentity();
void __wrap_glLoadIdentity() {
    Put(OP_LOAD_IDENTITY);
    __real_glLoadIdentity();
}
void __real_gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
void __wrap_gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    PutDoubles(OP_PERSPECTIVE, {fovy, aspect, zNear, zFar});
    __real_gluPerspective(fovy, aspect, zNear, zFar);
}
void __real_glPushMatrix();
void __wrap_glPushMatrix() {
    Put(OP_PUSH_MATRIX);
    __real_glPushMatrix();
}
void __real_glPopMatrix();
void __wrap_glPopMatrix() {
    Put(OP_POP_MATRIX);
    __real_glPopMatrix();
}
void __real_glEnable(GLenum cap);
void __wrap_glEnable(GLenum cap) {
    Put(OP_ENABLE, {cap});
    __real_glEnable(cap);
}
void __real_glDisable(GLenum cap);
void __wrap_glDisable(GLenum cap) {
    Put(OP_DISABLE, {cap});
    __real_glDisable(cap);
}
void __real_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void __wrap_glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    Put(OP_ROTATE, {Bits(angle), Bits(x), Bits(y), Bits(z)});
    __real_glRotatef(angle, x, y, z);
}
void __real_glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void __wrap_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Put(OP_TRANSLATE, {Bits(x), Bits(y), Bits(z)});
    __real_glTranslatef(x, y, z);
}
void __real_glScalef(GLfloat x, GLfloat y, GLfloat z);
void __wrap_glScalef(GLfloat x, GLfloat y, GLfloat z) {
    Put(OP_SCALE, {Bits(x), Bits(y), Bits(z)});
    __real_glScalef(x, y, z);
}
void __real_glBindTexture(GLenum target, GLuint texture);
void __wrap_glBindTexture(GLenum target, GLuint texture) {
    Put(OP_BIND_TEXTURE, {target, texture});
    __real_glBindTexture(target, texture);
}
void __real_glTexParameteri(GLenum target, GLenum pname, GLint param);
void __wrap_glTexParameteri(GLenum target, GLenum pname, GLint param) {
    Put(OP_TEX_PARAMETER_I, {target, pname, uint32_t(param)});
    __real_glTexParameteri(target, pname, param);
}
void __real_glBegin(GLenum mode);
void __wrap_glBegin(GLenum mode) {
    Put(OP_BEGIN, {mode});
    __real_glBegin(mode);
}
void __real_glEnd();
void __wrap_glEnd() {
    Put(OP_END);
    __real_glEnd();
}
void __real_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void __wrap_glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    Put(OP_COLOR4, {Bits(r), Bits(g), Bits(b), Bits(a)});
    __real_glColor4f(r, g, b, a);
}
void __real_glTexCoord2f(GLfloat s, GLfloat t);
void __wrap_glTexCoord2f(GLfloat s, GLfloat t) {
    Put(OP_TEX_COORD2, {Bits(s), Bits(t)});
    __real_glTexCoord2f(s, t);
}
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    Put(OP_VERTEX3, {Bits(x), Bits(y), Bits(z)});
    __real_glVertex3f(x, y, z);
}
void __real_glBlendFunc(GLenum source, GLenum destination);
void __wrap_glBlendFunc(GLenum source, GLenum destination) {
    Put(OP_BLEND_FUNC, {source, destination});
    __real_glBlendFunc(source, destination);
}
void __real_glMaterialfv(GLenum face, GLenum pname, const GLfloat *params);
void __wrap_glMaterialfv(GLenum face, GLenum pname, const GLfloat *params) {
    if (pname == GL_SHININESS)
        Put(OP_MATERIAL_1, {face, pname, Bits(params[0])});
    else
        Put(OP_MATERIAL_4,
            {face, pname, Bits(params[0]), Bits(params[1]), Bits(params[2]), Bits(params[3])});
    __real_glMaterialfv(face, pname, params);
}
void __real_glCallList(GLuint list);
void __wrap_glCallList(GLuint list) {
    Put(OP_CALL_LIST, {list});
    __real_glCallList(list);
}
void __real_glFlush();
void __wrap_glFlush() {
    Put(OP_FLUSH);
    __real_glFlush();
}

void __real_glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a);
void __wrap_glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    NotInFrame("glClearColor");
    __real_glClearColor(r, g, b, a);
}
void __real_glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void __wrap_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    NotInFrame("glViewport");
    __real_glViewport(x, y, width, height);
}
void __real_glLightfv(GLenum light, GLenum pname, const GLfloat *params);
void __wrap_glLightfv(GLenum light, GLenum pname, const GLfloat *params) {
    NotInFrame("glLightfv");
    __real_glLightfv(light, pname, params);
}
void __real_glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void __wrap_glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    NotInFrame("glNormal3f");
    __real_glNormal3f(x, y, z);
}
void __real_glVertex3fv(const GLfloat *v);
void __wrap_glVertex3fv(const GLfloat *v) {
    NotInFrame("glVertex3fv");
    __real_glVertex3fv(v);
}
GLuint __real_glGenLists(GLsizei range);
GLuint __wrap_glGenLists(GLsizei range) {
    NotInFrame("glGenLists");
    return __real_glGenLists(range);
}
void __real_glNewList(GLuint list, GLenum mode);
void __wrap_glNewList(GLuint list, GLenum mode) {
    NotInFrame("glNewList");
    __real_glNewList(list, mode);
}
void __real_glEndList();
void __wrap_glEndList() {
    NotInFrame("glEndList");
    __real_glEndList();
}
void __real_glGenTextures(GLsizei n, GLuint *textures);
void __wrap_glGenTextures(GLsizei n, GLuint *textures) {
    NotInFrame("glGenTextures");
    __real_glGenTextures(n, textures);
}
GLint __real_gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height,
                               GLenum format, GLenum type, const void *data);
GLint __wrap_gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height,
                               GLenum format, GLenum type, const void *data) {
    NotInFrame("gluBuild2DMipmaps");
    return __real_gluBuild2DMipmaps(target, components, width, height, format, type, data);
}
void __real_glPixelStorei(GLenum pname, GLint param);
void __wrap_glPixelStorei(GLenum pname, GLint param) {
    NotInFrame("glPixelStorei");
    __real_glPixelStorei(pname, param);
}
void __real_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                         GLenum type, void *pixels);
void __wrap_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                         GLenum type, void *pixels) {
    NotInFrame("glReadPixels");
    __real_glReadPixels(x, y, width, height, format, type, pixels);
}

} // extern "C"

int main(int argc, char **argv) {
    int state = argc >= 2 ? FindSceneState(argv[1]) : -1;
    long frames = argc >= 3 ? strtol(argv[2], nullptr, 10) : TIMED_FRAMES;
    if (state < 0 || frames <= 0 || argc > 3) {
        fprintf(stderr, "Usage: scenes_record STATE [FRAMES] > stream\nStates:");
        for (int i = 0; i < SCENE_STATE_COUNT; i++)
            fprintf(stderr, " %s", SCENE_STATES[i].name);
        fprintf(stderr, "\n");
        return 2;
    }
    if (!EnterSceneState(state)) {
        fprintf(stderr, "scenes_record: the show could not start\n");
        return 1;
    }
    const uint32_t last = uint32_t(WARMUP_FRAMES + frames);
    for (uint32_t frame = 1; frame <= last; frame++) {
        HoldSceneState(state, frame);
        Recording = frame > uint32_t(WARMUP_FRAMES);
        OfflineFrame();
        Put(OP_FRAME_END);
        Recording = false;
    }
    OfflineEnd();
    size_t written = fwrite(Stream.data(), sizeof Stream[0], Stream.size(), stdout);
    if (written != Stream.size() || fflush(stdout) != 0) {
        fprintf(stderr, "scenes_record: cannot write the stream\n");
        return 1;
    }
    return 0;
}
