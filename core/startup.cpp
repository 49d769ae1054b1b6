#include "core/startup.h"
#include "content/content.h"
#include "core/frame_loop.h"
#include "core/scene.h"
#include "display/display.h"
#include "display/window.h"
#include "music/music.h"
#include "music/player.h"
#include "runtime/files.h"
#include "runtime/runtime.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>

int32_t PlayerDevice = DEVICE_DEFAULT;

namespace {

constexpr int EXIT_CODE = 0; // every way out

int PlayerInstalled; // the player file is ours to delete
int EndSequenceStarted;

// The show's end when the process is ended by exit() from outside its own end paths: a quit
// signal during a message box, which the platform cannot return from into the show. The
// player is released and its file and folder deleted as at a normal end; the runtime's
// objects go with the process (no window is open during a box, and an exit may come from a
// broken display connection). After the end sequence has begun there is nothing to do.
void ReleaseAtExit() {
    if (EndSequenceStarted)
        return;
    EndSequenceStarted = 1;
    if (PlayerInstalled)
        PlayerRelease();
    else
        PlayerFileRemove();
}

void SetVector(float *vector, float x, float y, float z, float w) {
    vector[0] = x;
    vector[1] = y;
    vector[2] = z;
    vector[3] = w;
}

// State that holds for the whole run; the light is placed in the identity modelview.
void SetRunState() {
    glViewport(0, 0, DISPLAY_WIDTH, DISPLAY_HEIGHT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glLightfv(GL_LIGHT0, GL_POSITION, LightPosition);
    glEnable(GL_LIGHT0);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    UploadTextures();
    BuildObjectList();
}

} // namespace

int DemoStartUp() {
    if (RuntimeStart(WindowRuntimeInit) != RUNTIME_READY) {
        fprintf(stderr, "tolvmarka: no display to show on (is DISPLAY set?); "
                        "tolvmarka-capture renders the show to a video file instead\n");
        return 0;
    }
    SetVector(LightPosition, 5.0f, 5.0f, 5.0f, 0.5f);
    SetVector(EmissionOuter, 0.0f, 1.0f, 0.2f, 0.2f);
    SetVector(EmissionInner, 1.0f, 0.0f, 0.0f, 1.0f);
    if (PlayerInstall(PlayerDevice) != PLAYER_INSTALLED)
        ProgramEnd();
    PlayerInstalled = 1;
    MusicStart(SyncCallback);
    if (DisplaySetup() != DISPLAY_READY)
        ProgramEnd();
    SetRunState();
    SceneVariablesReset();
    return 1;
}

void PlayerRelease() {
    PlayerInstalled = 0;
    PlayerFree(PLAYER_LIBRARY);
    PlayerFileRemove();
}

void DemoShutdown() {
    PlayerRelease();
    ProgramEnd();
}

void ProgramEnd() {
    EndSequenceStarted = 1;
    // Also after the refused full screen: the player file is never left behind.
    if (PlayerInstalled)
        PlayerRelease();
    RuntimeEnd(WindowCloseAll);
    MainHeapDestroy();
    exit(EXIT_CODE);
}

void DemoMain() {
    atexit(ReleaseAtExit);
    if (!DemoStartUp())
        ProgramEnd();
    RunFrameLoop();
    DemoShutdown();
}
