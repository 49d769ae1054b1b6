// scenes_bench: wall time per frame of each scene state on the headless surface, the show
// against a bare replay of exactly the GL calls it makes, side by side in one process.
//
// For each state, scenes_record (the same show, linked with recording wrappers) hands over
// the call stream of the timed frames. Each round then starts the show afresh, draws the
// warm-up frames, and times the show's frames (OfflineFrame, glFinish) and the replay of
// the stream (the same calls from a flat array, the swap, glFinish), taking turns in blocks
// of ten frames.
// The replay is the driver's floor for the picture: what is left above it is the show's
// own work. Both end on the same picture, which is checked.
// Usage: scenes_bench [--frames N] [--rounds R] [STATE...]
#include "bench/scenes/scene_states.h"
#include "core/offline.h"
#include "display/display.h"
#include "display/platform.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double BUDGET_MS = 20.0; // one frame at the show's 50 frames per second
constexpr int DEFAULT_ROUNDS = 3;
constexpr int INTERLEAVE_FRAMES = 10;
constexpr int WIDTH = 640, HEIGHT = 480;

volatile uint32_t WalkSink; // keeps the timed walk from being optimised away

double NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

float F(uint32_t word) {
    float value;
    memcpy(&value, &word, sizeof value);
    return value;
}

double D(const uint32_t *words) {
    double value;
    memcpy(&value, words, sizeof value);
    return value;
}

// Issues one frame of the stream from `at`; returns where the next frame starts.
size_t ReplayFrame(const uint32_t *w, size_t at) {
    for (;;) {
        const uint32_t op = w[at];
        const uint32_t *a = w + at + 1;
        at += 1 + OP_ARGUMENT_WORDS[op];
        switch (op) {
        case OP_FRAME_END:
            PlatformSwapBuffers(MainDC);
            return at;
        case OP_CLEAR:
            glClear(a[0]);
            break;
        case OP_MATRIX_MODE:
            glMatrixMode(a[0]);
            break;
        case OP_LOAD_IDENTITY:
            glLoadIdentity();
            break;
        case OP_PERSPECTIVE:
            gluPerspective(D(a), D(a + 2), D(a + 4), D(a + 6));
            break;
        case OP_PUSH_MATRIX:
            glPushMatrix();
            break;
        case OP_POP_MATRIX:
            glPopMatrix();
            break;
        case OP_ENABLE:
            glEnable(a[0]);
            break;
        case OP_DISABLE:
            glDisable(a[0]);
            break;
        case OP_ROTATE:
            glRotatef(F(a[0]), F(a[1]), F(a[2]), F(a[3]));
            break;
        case OP_TRANSLATE:
            glTranslatef(F(a[0]), F(a[1]), F(a[2]));
            break;
        case OP_SCALE:
            glScalef(F(a[0]), F(a[1]), F(a[2]));
            break;
        case OP_BIND_TEXTURE:
            glBindTexture(a[0], a[1]);
            break;
        case OP_TEX_PARAMETER_I:
            glTexParameteri(a[0], a[1], GLint(a[2]));
            break;
        case OP_BEGIN:
            glBegin(a[0]);
            break;
        case OP_END:
            glEnd();
            break;
        case OP_COLOR4:
            glColor4f(F(a[0]), F(a[1]), F(a[2]), F(a[3]));
            break;
        case OP_TEX_COORD2:
            glTexCoord2f(F(a[0]), F(a[1]));
            break;
        case OP_VERTEX3:
            glVertex3f(F(a[0]), F(a[1]), F(a[2]));
            break;
        case OP_BLEND_FUNC:
            glBlendFunc(a[0], a[1]);
            break;
        case OP_MATERIAL_1: {
            const float value = F(a[2]);
            glMaterialfv(a[0], a[1], &value);
            break;
        }
        case OP_MATERIAL_4: {
            const float values[4] = {F(a[2]), F(a[3]), F(a[4]), F(a[5])};
            glMaterialfv(a[0], a[1], values);
            break;
        }
        case OP_CALL_LIST:
            glCallList(a[0]);
            break;
        case OP_FLUSH:
            glFlush();
            break;
        }
    }
}

// Walks one frame of the stream without calling GL: the replay's own decoding cost.
size_t WalkFrame(const uint32_t *w, size_t at, uint32_t *sum) {
    for (;;) {
        const uint32_t op = w[at];
        for (uint32_t i = 1; i <= OP_ARGUMENT_WORDS[op]; i++)
            *sum += w[at + i];
        at += 1 + OP_ARGUMENT_WORDS[op];
        if (op == OP_FRAME_END)
            return at;
    }
}

struct Recorded {
    std::vector<uint32_t> words;
    uint32_t calls = 0;
    uint32_t frames = 0;
};

bool Record(const char *state, int frames, Recorded *out) {
    std::string command = std::string(SCENES_RECORD) + " '" + state + "' " + std::to_string(frames);
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    uint32_t buffer[4096];
    size_t got;
    while ((got = fread(buffer, sizeof buffer[0], 4096, pipe)) > 0)
        out->words.insert(out->words.end(), buffer, buffer + got);
    if (pclose(pipe) != 0)
        return false;
    // Check the stream's shape before trusting it to the replay.
    for (size_t at = 0; at < out->words.size();) {
        const uint32_t op = out->words[at];
        if (op >= OP_COUNT)
            return false;
        if (op == OP_FRAME_END)
            out->frames++;
        else
            out->calls++;
        at += 1 + OP_ARGUMENT_WORDS[op];
        if (at > out->words.size())
            return false;
    }
    return out->frames == uint32_t(frames) && !out->words.empty() &&
           out->words.back() == OP_FRAME_END;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    size_t rank = size_t(p / 100.0 * double(values.size()) + 0.999999);
    rank = std::max<size_t>(1, std::min(rank, values.size()));
    return values[rank - 1];
}

void ShowFrames(int state, uint32_t first, int frames, std::vector<double> *times) {
    for (int i = 0; i < frames; i++) {
        HoldSceneState(state, first + uint32_t(i));
        const double start = NowMs();
        OfflineFrame();
        glFinish();
        times->push_back(NowMs() - start);
    }
}

// Replays `frames` frames of the stream from `*at`, leaving `*at` after them.
void ReplayFrames(const Recorded &stream, size_t *at, int frames, std::vector<double> *times) {
    for (int i = 0; i < frames; i++) {
        const double start = NowMs();
        *at = ReplayFrame(stream.words.data(), *at);
        glFinish();
        times->push_back(NowMs() - start);
    }
}

void ReadPicture(std::vector<uint8_t> *rgb) {
    rgb->resize(size_t(WIDTH) * HEIGHT * 3);
    OfflineReadPixels(rgb->data(), WIDTH, HEIGHT);
}

const char *const USAGE =
    "Usage: scenes_bench [--frames N] [--rounds R] [STATE...]\n"
    "Times N frames (default 500) of each scene state, the show against a bare replay of\n"
    "its recorded GL calls, in turns of ten frames, R rounds (default 3), and prints median\n"
    "and 99th percentile wall ms per frame of each, their ratio and the share of 20 ms.\n";

} // namespace

int main(int argc, char **argv) {
    int frames = TIMED_FRAMES, rounds = DEFAULT_ROUNDS;
    std::vector<int> states;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (!strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = atoi(argv[++i]);
            continue;
        }
        if (!strcmp(argv[i], "--rounds") && i + 1 < argc) {
            rounds = atoi(argv[++i]);
            continue;
        }
        int state = FindSceneState(argv[i]);
        if (state < 0) {
            fprintf(stderr, "scenes_bench: unknown state %s\n%s", argv[i], USAGE);
            return 2;
        }
        states.push_back(state);
    }
    if (frames <= 0 || rounds <= 0) {
        fputs(USAGE, stderr);
        return 2;
    }
    if (states.empty())
        for (int i = 0; i < SCENE_STATE_COUNT; i++)
            states.push_back(i);
    // The offline show (here and in scenes_record) writes its player file to TMPDIR.
    char temporary[] = "/tmp/scenes_bench.XXXXXX";
    if (!mkdtemp(temporary)) {
        perror("scenes_bench: mkdtemp");
        return 1;
    }
    setenv("TMPDIR", temporary, 1);

    printf("%d frames per state and round, %d rounds, %dx%d, glFinish every frame\n", frames,
           rounds, WIDTH, HEIGHT);
    printf("%-21s %6s %9s %9s %9s %9s %7s %7s %-19s %7s %6s\n", "state", "calls", "show_med",
           "show_p99", "floor_med", "floor_p99", "med_x", "p99_x", "round_med_x", "walk_ms",
           "budget");
    int failures = 0;
    for (int state : states) {
        const char *name = SCENE_STATES[state].name;
        Recorded stream;
        if (!Record(name, frames, &stream)) {
            fprintf(stderr, "scenes_bench: no usable stream for %s from %s\n", name, SCENES_RECORD);
            return 1;
        }
        std::vector<double> show, floor, roundRatios;
        bool samePicture = true;
        for (int round = 0; round < rounds; round++) {
            if (!EnterSceneState(state)) {
                fprintf(stderr, "scenes_bench: the show could not start\n");
                return 1;
            }
            std::vector<double> warmup;
            ShowFrames(state, 1, WARMUP_FRAMES, &warmup);
            // Blocks of the show's frames and of the same frames replayed take turns (each
            // frame starts and ends in the same GL state), so both meet the same load.
            // The last block goes show first, and both end on the same frame's picture.
            std::vector<double> showRound, floorRound;
            std::vector<uint8_t> showPicture, floorPicture;
            size_t at = 0;
            for (int done = 0; done < frames; done += INTERLEAVE_FRAMES) {
                const int block = std::min(INTERLEAVE_FRAMES, frames - done);
                const uint32_t first = uint32_t(WARMUP_FRAMES + 1 + done);
                const bool last = done + block >= frames;
                if (last || (done / INTERLEAVE_FRAMES + round) % 2 == 0) {
                    ShowFrames(state, first, block, &showRound);
                    if (last)
                        ReadPicture(&showPicture);
                    ReplayFrames(stream, &at, block, &floorRound);
                } else {
                    ReplayFrames(stream, &at, block, &floorRound);
                    ShowFrames(state, first, block, &showRound);
                }
            }
            ReadPicture(&floorPicture);
            OfflineEnd();
            samePicture = samePicture && showPicture == floorPicture;
            roundRatios.push_back(Percentile(showRound, 50) / Percentile(floorRound, 50));
            show.insert(show.end(), showRound.begin(), showRound.end());
            floor.insert(floor.end(), floorRound.begin(), floorRound.end());
        }
        uint32_t sum = 0;
        const double walkStart = NowMs();
        for (size_t at = 0; at < stream.words.size();)
            at = WalkFrame(stream.words.data(), at, &sum);
        const double walkMs = (NowMs() - walkStart) / double(stream.frames);
        WalkSink = sum;

        const double showMed = Percentile(show, 50), showP99 = Percentile(show, 99);
        const double floorMed = Percentile(floor, 50), floorP99 = Percentile(floor, 99);
        std::string spread;
        for (double ratio : roundRatios) {
            char text[16];
            snprintf(text, sizeof text, "%s%.3f", spread.empty() ? "" : ",", ratio);
            spread += text;
        }
        printf("%-21s %6u %9.3f %9.3f %9.3f %9.3f %7.3f %7.3f %-19s %7.3f %5.1f%%\n", name,
               stream.calls / stream.frames, showMed, showP99, floorMed, floorP99,
               showMed / floorMed, showP99 / floorP99, spread.c_str(), walkMs,
               showMed / BUDGET_MS * 100.0);
        if (!samePicture) {
            fprintf(stderr, "scenes_bench: %s: the replay's last picture differs from the show's\n",
                    name);
            failures++;
        }
    }
    printf("calls: GL calls per frame; *_med/*_p99: wall ms per frame; med_x, p99_x: show/floor;\n"
           "round_med_x: show/floor medians per round; walk_ms: the replay's own stream walk per\n"
           "frame (inside floor); budget: show median as a share of %.0f ms\n",
           BUDGET_MS);
    rmdir(temporary);
    return failures ? 1 : 0;
}
