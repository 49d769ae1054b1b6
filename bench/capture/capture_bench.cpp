// capture_bench: what capturing costs on top of drawing. Runs the same frames of the show
// twice in one process: once as the capture does it (decode the frame's sound, draw, read
// the picture back, write picture and sound raw to /dev/null), once bare (draw only). Both
// runs get the music's scene changes injected on the frames where the music brings them,
// so the bare run draws the same scenes without a player. The two alternate for a few runs
// and the fastest of each counts: the machine is shared, and noise only ever adds time.
#include "capture/capture.h"
#include "core/offline.h"
#include "music/music.h"
#include "music/player.h"
#include "music/player_api.h"
#include "runtime/libraries.h"

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
    "Usage: capture_bench [--frames N] [--runs R] [--stages]\n"
    "Times the capture of the show's first N frames (default: the whole show, 4538) against\n"
    "a bare replay of the same frames with no readback, sound or output. The two alternate R\n"
    "times (default 3); the fastest run of each is reported. --stages adds one run that\n"
    "times the capture's steps apart (it waits for the drawing before the readback, so the\n"
    "steps add up to more than a capture run).\n";

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

// Raw output to /dev/null: the picture and the sound of one frame.
struct Output {
    int sink;
    size_t pictureBytes;
    uint8_t *rgb;
    int16_t pcm[SAMPLES_PER_FRAME * CAPTURE_CHANNELS];
};

void OpenOutput(Output *out) {
    out->sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    out->pictureBytes = size_t(CaptureWidth) * size_t(CaptureHeight) * 3;
    out->rgb = static_cast<uint8_t *>(malloc(out->pictureBytes));
}

void WriteOutput(Output *out) {
    bool written = write(out->sink, out->rgb, out->pictureBytes) == ssize_t(out->pictureBytes) &&
                   write(out->sink, out->pcm, sizeof out->pcm) == ssize_t(sizeof out->pcm);
    if (!written)
        fprintf(stderr, "capture_bench: /dev/null refused a write: %s\n", strerror(errno));
}

void CloseOutput(Output *out) {
    free(out->rgb);
    close(out->sink);
}

// Seconds for `frames` frames, the work queued in GL included. 0 when it could not start.
double TimeRun(uint32_t frames, bool capture, uint32_t *drawn) {
    if (!Start())
        return 0.0;
    Output out;
    OpenOutput(&out);
    *drawn = 0;
    double start = SecondsNow();
    for (uint32_t frame = 1; frame <= frames; frame++) {
        int end;
        if (capture) {
            end = CaptureFrame(out.rgb, out.pcm);
            WriteOutput(&out);
        } else {
            end = CaptureFrame(nullptr, nullptr);
        }
        ++*drawn;
        if (end)
            break;
    }
    glFinish();
    double seconds = SecondsNow() - start;
    CloseOutput(&out);
    CaptureEnd();
    return seconds;
}

enum Stage { STAGE_DECODE, STAGE_DRAW, STAGE_WAIT, STAGE_READ, STAGE_WRITE, STAGE_COUNT };
const char *const STAGE_NAMES[STAGE_COUNT] = {
    "decode the frame's sound", "issue the frame's GL calls", "wait for the drawing",
    "read back and turn the picture", "write picture and sound"};

// The steps of CaptureFrame one by one, each timed: the decode as CaptureFrame does it, the
// frame, a glFinish so the readback's own cost shows apart from the drawing it waits for.
int TimeStages(uint32_t frames, double seconds[STAGE_COUNT], uint32_t *drawn) {
    if (!Start())
        return 0;
    Output out;
    OpenOutput(&out);
    int16_t *pcm = out.pcm;
    auto decode = reinterpret_cast<BASSMOD_MusicDecode_t>(
        LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicDecode"));
    *drawn = 0;
    for (uint32_t frame = 1; frame <= frames; frame++) {
        double t0 = SecondsNow();
        uint32_t got = decode ? decode(pcm, SAMPLES_PER_FRAME) : 0;
        if (got < SAMPLES_PER_FRAME)
            memset(pcm + got * CAPTURE_CHANNELS, 0,
                   (SAMPLES_PER_FRAME - got) * CAPTURE_CHANNELS * sizeof *pcm);
        double t1 = SecondsNow();
        int end = OfflineFrame();
        double t2 = SecondsNow();
        glFinish();
        double t3 = SecondsNow();
        OfflineReadPixels(out.rgb, CaptureWidth, CaptureHeight);
        double t4 = SecondsNow();
        WriteOutput(&out);
        double t5 = SecondsNow();
        const double spans[STAGE_COUNT] = {t1 - t0, t2 - t1, t3 - t2, t4 - t3, t5 - t4};
        for (int stage = 0; stage < STAGE_COUNT; stage++)
            seconds[stage] += spans[stage];
        ++*drawn;
        if (end)
            break;
    }
    CloseOutput(&out);
    CaptureEnd();
    return 1;
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
    bool stages = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (!strcmp(argv[i], "--stages")) {
            stages = true;
            continue;
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
    if (!stages)
        return 0;

    double seconds[STAGE_COUNT] = {};
    uint32_t stageFrames = 0;
    if (!TimeStages(frames, seconds, &stageFrames)) {
        fprintf(stderr, "capture_bench: the show could not start\n");
        return 1;
    }
    printf("the capture's steps apart, %u frames (ms/frame):\n", stageFrames);
    for (int stage = 0; stage < STAGE_COUNT; stage++)
        printf("  %-32s %7.3f\n", STAGE_NAMES[stage], seconds[stage] * 1000.0 / stageFrames);
    return 0;
}
