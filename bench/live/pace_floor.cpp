// pace_floor: the frame loop's pacing with nothing to draw, the reference for the show's
// live pacing. A 640x480 double-buffered GL window without vsync, as the show opens it; each
// frame clears, swaps, polls one event and sleeps the rest of 20 ms with the show's own clock
// procedures, in the frame loop's order. Prints "floor-swap N SECONDS" (CLOCK_MONOTONIC) to
// standard error after every swap, like the traced build of the show.
// Usage: pace_floor [FRAMES]   (default 4537, the show's frame count)
#include "runtime/clock.h"

#include <GL/gl.h>
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr uint32_t FRAME_MS = 20;
constexpr int WIDTH = 640, HEIGHT = 480;
constexpr long DEFAULT_FRAMES = 4537;

} // namespace

int main(int argc, char **argv) {
    const long frames = argc > 1 ? strtol(argv[1], nullptr, 10) : DEFAULT_FRAMES;
    if (frames <= 0 || SDL_Init(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "usage: pace_floor [FRAMES] (needs a display: %s)\n", SDL_GetError());
        return 2;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window *window =
        SDL_CreateWindow("pace_floor", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, WIDTH,
                         HEIGHT, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        fprintf(stderr, "pace_floor: no GL window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    for (long frame = 1; frame <= frames; frame++) {
        const uint32_t start = TickMs();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFlush();
        SDL_GL_SwapWindow(window);
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        fprintf(stderr, "floor-swap %ld %lld.%09ld\n", frame, (long long)now.tv_sec, now.tv_nsec);
        SDL_Event event;
        SDL_PollEvent(&event);
        if (TickMs() - start < FRAME_MS) {
            const uint32_t elapsed = TickMs() - start;
            if (elapsed < FRAME_MS)
                PauseMs(FRAME_MS - elapsed);
        }
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
