#include "core/offline.h"
#include "core/frame_loop.h"
#include "core/startup.h"
#include "display/headless.h"
#include "display/platform.h"
#include "display/window.h"
#include "music/player_api.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <GL/gl.h>
#include <cstring>

namespace {

constexpr int MAX_INJECTED = 64;

struct InjectedSync {
    uint32_t frame;
    uint32_t user;
};

InjectedSync Injected[MAX_INJECTED];
int InjectedCount;
uint32_t FramesDrawn;

} // namespace

int OfflineStart(uint32_t seed) {
    InjectedCount = 0;
    FramesDrawn = 0;
    PlayerDevice = DEVICE_NONE;
    HeadlessSetBoxAnswer(IDYES);
    if (!DemoStartUp())
        return 0;
    RandomSeed(seed);
    return 1;
}

void OfflineInjectSync(uint32_t frame, uint32_t user) {
    if (InjectedCount < MAX_INJECTED)
        Injected[InjectedCount++] = {frame, user};
}

int OfflineFrame() {
    FramesDrawn++;
    for (int i = 0; i < InjectedCount; i++)
        if (Injected[i].frame == FramesDrawn)
            SyncCallback(0, 0, Injected[i].user);
    return RunFrame();
}

uint32_t OfflineFrameCount() {
    return FramesDrawn;
}

void OfflineReadPixels(uint8_t *rgb, int32_t width, int32_t height) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    // GL hands the bottom row first.
    size_t row = size_t(width) * 3;
    uint8_t swap[4096 * 3];
    for (int32_t y = 0; y < height / 2 && row <= sizeof swap; y++) {
        uint8_t *top = rgb + size_t(y) * row;
        uint8_t *bottom = rgb + size_t(height - 1 - y) * row;
        memcpy(swap, top, row);
        memcpy(top, bottom, row);
        memcpy(bottom, swap, row);
    }
}

void OfflineEnd() {
    PlayerRelease();
    RuntimeEnd(WindowCloseAll);
    MainHeapDestroy();
    PlatformShutdown();
}
