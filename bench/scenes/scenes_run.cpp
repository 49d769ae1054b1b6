// scenes_run: draws N frames of every scene state with the offline show and nothing else,
// for profilers (callgrind counts instructions where the CPU's counters are not available).
// The frames after the warm-up (which compiles the driver's shaders) go through
// ProfiledFrame, for callgrind --toggle-collect=ProfiledFrame*.
// Usage: scenes_run [FRAMES]   (default 100 per state)
#include "bench/scenes/scene_states.h"
#include "core/offline.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// One frame drawn and finished. Not inlined: profilers collect inside it.
__attribute__((noinline)) void ProfiledFrame() {
    OfflineFrame();
    glFinish();
}

int main(int argc, char **argv) {
    const long frames = argc > 1 ? strtol(argv[1], nullptr, 10) : 100;
    if (frames <= 0) {
        fprintf(stderr, "usage: scenes_run [FRAMES]\n");
        return 2;
    }
    char temporary[] = "/tmp/scenes_run.XXXXXX";
    if (!mkdtemp(temporary)) {
        perror("scenes_run: mkdtemp");
        return 1;
    }
    setenv("TMPDIR", temporary, 1);
    for (int state = 0; state < SCENE_STATE_COUNT; state++) {
        if (!EnterSceneState(state)) {
            fprintf(stderr, "scenes_run: the show could not start\n");
            return 1;
        }
        for (uint32_t frame = 1; frame <= uint32_t(WARMUP_FRAMES + frames); frame++) {
            HoldSceneState(state, frame);
            if (frame > uint32_t(WARMUP_FRAMES)) {
                ProfiledFrame();
            } else {
                OfflineFrame();
                glFinish();
            }
        }
        OfflineEnd();
    }
    rmdir(temporary);
    return 0;
}
