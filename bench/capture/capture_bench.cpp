// capture_bench: what capturing costs on top of drawing. Runs the same frames of the show
// twice in one process: once as the capture does it (decode the frame's sound, draw, read
// the picture back, write picture and sound raw to /dev/null), once bare (draw only). Both
// runs get the music's scene changes injected on the frames where the music brings them,
// so the bare run draws the same scenes without a player. The two alternate for a few runs
// and the fastest of each counts: the machine is shared, and noise only ever adds time.
#include "capture/capture.h"
#include "core/offline.h"
#include "music/music.h"

#include <GL/gl.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Orders 2, 4 and 6 heard from the resume on frame 86 (192 ticks of 711 samples an order).
constexpr uint32_t SCENE_FRAMES[][2] = {
    {396, SYNC_USER_SPRITE}, {706, SYNC_USER_OBJECT}, {1015, SYNC_USER_TUNNEL}};

constexpr uint32_t DEFAULT_RUNS = 3;

const char *const USAGE =
    "Usage: capture_bench [--frames N] [--runs R]\n"
    "Times the capture of the show's first N frames (default: the whole show, 4538) against\n"
    "a bare replay of the same frames with no readback, sound or output. The two alternate R\n"
    "times (default 3); the fastest run of each is reported.\n";

double SecondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

int PlayerDecodes;

int Start() {
    if (!CaptureStart(DEFAULT_SEED, 1))
        return 0;
    PlayerDecodes = CaptureHasDecode();
    for (const auto &scene : SCENE_FRAMES)
        OfflineInjectSync(scene[0], scene[1]);
    return 1;
}

// Seconds for `frames` frames, the work queued in GL included. 0 when it could not start.
double TimeRun(uint32_t frames, bool capture, uint32_t *drawn) {
    if (!Start())
        return 0.0;
    int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    size_t pictureBytes = size_t(CaptureWidth) * size_t(CaptureHeight) * 3;
    uint8_t *rgb = static_cast<uint8_t *>(malloc(pictureBytes));
    int16_t pcm[SAMPLES_PER_FRAME * CAPTURE_CHANNELS];
    *drawn = 0;
    double start = SecondsNow();
    for (uint32_t frame = 1; frame <= frames; frame++) {
        int end;
        if (capture) {
            end = CaptureFrame(rgb, pcm);
            bool written = write(sink, rgb, pictureBytes) == ssize_t(pictureBytes) &&
                           write(sink, pcm, sizeof pcm) == ssize_t(sizeof pcm);
            if (!written)
                fprintf(stderr, "capture_bench: /dev/null refused a write: %s\n", strerror(errno));
        } else {
            end = CaptureFrame(nullptr, nullptr);
        }
        ++*drawn;
        if (end)
            break;
    }
    glFinish();
    double seconds = SecondsNow() - start;
    free(rgb);
    close(sink);
    CaptureEnd();
    return seconds;
}

// A count of at least 1 from the option's value.
int Count(const char *option, int *i, int argc, char **argv, uint32_t *value) {
    if (strcmp(argv[*i], option) || *i + 1 >= argc)
        return 0;
    char *end = nullptr;
    unsigned long number = strtoul(argv[++*i], &end, 10);
    *value = uint32_t(number);
    return number > 0 && number <= UINT32_MAX && *end == '\0';
}

} // namespace

int main(int argc, char **argv) {
    uint32_t frames = SHOW_FRAMES, runs = DEFAULT_RUNS;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (!Count("--frames", &i, argc, argv, &frames) &&
            !Count("--runs", &i, argc, argv, &runs)) {
            fprintf(stderr, "capture_bench: bad argument %s\n%s", argv[i], USAGE);
            return 2;
        }
    }

    uint32_t bareFrames = 0, captureFrames = 0;
    double bare = 0.0, capture = 0.0;
    for (uint32_t run = 1; run <= runs; run++) {
        double b = TimeRun(frames, false, &bareFrames);
        double c = TimeRun(frames, true, &captureFrames);
        if (b <= 0.0 || c <= 0.0) {
            fprintf(stderr, "capture_bench: the show could not start\n");
            return 1;
        }
        printf("run %u: bare %.3f ms/frame, capture %.3f ms/frame\n", run, b * 1000.0 / bareFrames,
               c * 1000.0 / captureFrames);
        fflush(stdout);
        bare = run == 1 || b < bare ? b : bare;
        capture = run == 1 || c < capture ? c : capture;
    }
    double bareMs = bare * 1000.0 / bareFrames, captureMs = capture * 1000.0 / captureFrames;
    double showSeconds = double(captureFrames) / CAPTURE_FPS;
    printf("fastest of %u runs, %u frames (%.1f s of show), 640x480%s\n", runs, captureFrames,
           showSeconds, PlayerDecodes ? "" : ", player without offline decode: silent");
    printf("bare replay:  %7.3f ms/frame  %6.2fx real time\n", bareMs,
           double(bareFrames) / CAPTURE_FPS / bare);
    printf("capture:      %7.3f ms/frame  %6.2fx real time\n", captureMs, showSeconds / capture);
    printf("overhead:     %7.3f ms/frame  capture/bare %.2f\n", captureMs - bareMs,
           captureMs / bareMs);
    return 0;
}
