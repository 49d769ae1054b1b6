// sync_bench: how late the player's sync callbacks come after their sound is heard, live on
// an audio device (SDL_AUDIODRIVER=dummy unless set), measured against the player's own
// heard-position clock.
//
// The player library is loaded from its build, plays the show's module with the show's syncs
// (orders 2, 4 and 6, the notes of instrument 6, and of instrument 2 from order 6 on), and
// the callbacks take their time and their event's output frame (BASSMOD_MusicGetFrame).
// The player's clock says that a device pull which begins at frame S is heard from one
// device buffer later (at once on its silent clock, when no device opens): frame F of the
// pull that renders frames S .. S+N-1, begun at time T, is heard at T + (F - S + LATENCY) /
// RATE. A watcher thread polls the frames handed to the device (BASSMOD_MusicGetFrame outside
// a callback), which moves when a pull ends. A pull holds the player's lock, so T lies
// between the last reading that still gave the old count (taken before that call) and the
// first that gives the new one (taken after it): each delay is known within that interval.
// The figures are its upper ends, so they are never too kind; "width" is the median
// interval.
//
// Runs twice: idle, and with the offline show drawing its frames on the headless surface at
// 50 frames per second in the main thread, as the live show loads the machine.
// Usage: sync_bench [SECONDS]   (default 30 per run)
#include "core/offline.h"
#include "music/music.h"
#include "music/player_api.h"

#include <GL/gl.h>
#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t BLOCK_FRAMES = 1024; // the player's device buffer, and the latency it assumes
constexpr double RATE = OUTPUT_RATE;
constexpr double PERIOD_MS = BLOCK_FRAMES * 1000.0 / RATE;
constexpr long WATCH_NS = 200000; // the watcher's polling interval
constexpr double FRAME_MS = 20.0;
constexpr double DEFAULT_SECONDS = 30.0;
// Where the music brings the scene changes when it resumes on frame 86 (as in the capture).
constexpr uint32_t SCENE_FRAMES[][2] = {
    {396, SYNC_USER_SPRITE}, {706, SYNC_USER_OBJECT}, {1015, SYNC_USER_TUNNEL}};

struct Pull {
    double earliest, latest; // seconds: the pull began in between
    uint32_t end;            // frames handed to the device after the pull
};
struct Callback {
    double time;
    uint32_t frame;
    uint32_t user;
};

BASSMOD_MusicGetFrame_t GetFrame;
BASSMOD_MusicRemoveSync_t RemoveSync;
BASSMOD_MusicSetSync_t SetSync;

std::atomic<int> InCallback;
std::atomic<bool> Watching;
std::mutex Lock;
std::vector<Pull> Pulls;
std::vector<Callback> Callbacks;

double Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void OnSync(uint32_t sync, uint32_t, uint32_t user) {
    const double time = Now();
    InCallback.fetch_add(1);
    const uint32_t frame = GetFrame();
    // As the show's callback does at order 6: the late pulse instrument takes over the sync.
    if (user == SYNC_USER_TUNNEL) {
        RemoveSync(sync);
        SetSync(SYNC_INSTRUMENT, PULSE_INSTRUMENT_LATE | SYNC_ANY_NOTE << 16, OnSync,
                SYNC_USER_PULSE);
    }
    InCallback.fetch_sub(1);
    std::lock_guard<std::mutex> hold(Lock);
    Callbacks.push_back({time, frame, user});
}

void *Watch(void *) {
    uint32_t last = 0;
    double lastBefore = Now();
    while (Watching.load()) {
        const int inside = InCallback.load();
        const double before = Now();
        const uint32_t frames = GetFrame();
        const double after = Now();
        // Inside a callback the call answers the event's frame: such readings say nothing,
        // nor does anything that is not a whole number of pulls further on.
        const bool valid = inside == 0 && InCallback.load() == 0 && frames >= last &&
                           (frames - last) % BLOCK_FRAMES == 0;
        if (valid) {
            std::lock_guard<std::mutex> hold(Lock);
            for (uint32_t end = last + BLOCK_FRAMES; end <= frames; end += BLOCK_FRAMES)
                Pulls.push_back({lastBefore, after, end});
            last = frames;
            lastBefore = before;
        }
        timespec wait = {0, WATCH_NS};
        clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, nullptr);
    }
    return nullptr;
}

template <typename T> T Export(void *library, const char *name) {
    T function = reinterpret_cast<T>(dlsym(library, name));
    if (!function) {
        fprintf(stderr, "sync_bench: %s missing\n", name);
        exit(1);
    }
    return function;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(p / 100.0 * double(values.size()) + 0.999999);
    rank = std::max<size_t>(1, std::min(rank, values.size()));
    return values[rank - 1];
}

// Renders the offline show at 50 frames per second until `until`.
void RenderUntil(double until) {
    if (!OfflineStart(DEFAULT_SEED)) {
        fprintf(stderr, "sync_bench: the offline show could not start\n");
        exit(1);
    }
    for (const auto &scene : SCENE_FRAMES)
        OfflineInjectSync(scene[0], scene[1]);
    double due = Now();
    while (Now() < until) {
        OfflineFrame();
        glFinish();
        due += FRAME_MS / 1000.0;
        const double rest = due - Now();
        if (rest > 0) {
            timespec wait = {time_t(rest), long((rest - double(time_t(rest))) * 1e9)};
            clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, nullptr);
        }
    }
    OfflineEnd();
}

int RunOnce(void *library, const std::vector<uint8_t> &song, double seconds, bool render) {
    const auto init = Export<BASSMOD_Init_t>(library, "BASSMOD_Init");
    const auto load = Export<BASSMOD_MusicLoad_t>(library, "BASSMOD_MusicLoad");
    const auto play = Export<BASSMOD_MusicPlay_t>(library, "BASSMOD_MusicPlay");
    const auto release = Export<BASSMOD_Free_t>(library, "BASSMOD_Free");
    Pulls.clear();
    Callbacks.clear();
    if (!init(DEVICE_DEFAULT, OUTPUT_RATE, 0) ||
        !load(1, song.data(), 0, uint32_t(song.size()), MUSIC_LOOP)) {
        fprintf(stderr, "sync_bench: the player cannot start the module\n");
        return 1;
    }
    for (uint32_t order : {SYNC_ORDER_SPRITE, SYNC_ORDER_OBJECT, SYNC_ORDER_TUNNEL})
        SetSync(SYNC_POSITION_ONCE, order, OnSync, order / 2);
    SetSync(SYNC_INSTRUMENT, PULSE_INSTRUMENT | SYNC_ANY_NOTE << 16, OnSync, SYNC_USER_PULSE);
    Watching.store(true);
    pthread_t watcher;
    pthread_create(&watcher, nullptr, Watch, nullptr);
    play();
    const double until = Now() + seconds;
    if (render) {
        RenderUntil(until);
    } else {
        timespec wait = {time_t(seconds), long((seconds - double(time_t(seconds))) * 1e9)};
        clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, nullptr);
    }
    Watching.store(false);
    pthread_join(watcher, nullptr);
    // The player and this program share SDL: its audio driver says whether a device
    // opened. Without one the player's silent clock hears a block as soon as it is pulled.
    const char *driver = SDL_GetCurrentAudioDriver();
    char device[16];
    snprintf(device, sizeof device, "%s", driver ? driver : "silent");
    const uint32_t latency = driver ? BLOCK_FRAMES : 0;
    release();

    std::lock_guard<std::mutex> hold(Lock);
    std::vector<double> delays, widths;
    uint32_t unmatched = 0;
    for (const Callback &callback : Callbacks) {
        // The pull whose block is heard at the event: it starts `latency` frames after it.
        const uint32_t start = (callback.frame + latency) / BLOCK_FRAMES * BLOCK_FRAMES;
        auto pull = std::find_if(Pulls.begin(), Pulls.end(),
                                 [&](const Pull &p) { return p.end - BLOCK_FRAMES == start; });
        if (pull == Pulls.end()) {
            unmatched++;
            continue;
        }
        const double offset = double(callback.frame + latency - start) / RATE;
        delays.push_back((callback.time - (pull->earliest + offset)) * 1000.0);
        widths.push_back((pull->latest - pull->earliest) * 1000.0);
    }
    const double worst = Percentile(delays, 100);
    printf("%-7s %-7s %6zu %5u %8.2f %8.2f %8.2f %8.2f %6.2f %6.3f  %s\n",
           render ? "render" : "idle", device, delays.size(), unmatched, Percentile(delays, 0),
           Percentile(delays, 50), Percentile(delays, 99), worst, Percentile(widths, 50),
           worst / PERIOD_MS, !delays.empty() && worst <= PERIOD_MS ? "within one period" : "LATE");
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : DEFAULT_SECONDS;
    if (seconds <= 0.0) {
        fprintf(stderr, "usage: sync_bench [SECONDS]\n");
        return 2;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // The offline show writes its player file to TMPDIR: a private one.
    char temporary[] = "/tmp/sync_bench.XXXXXX";
    if (!mkdtemp(temporary)) {
        perror("sync_bench: mkdtemp");
        return 1;
    }
    setenv("TMPDIR", temporary, 1);
    std::ifstream file(SONG_MODULE_FILE, std::ios::binary);
    std::vector<uint8_t> song((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    void *library = dlopen(PLAYER_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    if (song.empty() || !library) {
        fprintf(stderr, "sync_bench: cannot load %s or %s\n", SONG_MODULE_FILE,
                PLAYER_LIBRARY_FILE);
        return 1;
    }
    GetFrame = Export<BASSMOD_MusicGetFrame_t>(library, "BASSMOD_MusicGetFrame");
    RemoveSync = Export<BASSMOD_MusicRemoveSync_t>(library, "BASSMOD_MusicRemoveSync");
    SetSync = Export<BASSMOD_MusicSetSync_t>(library, "BASSMOD_MusicSetSync");

    printf("SDL_AUDIODRIVER=%s, %u-frame device buffer = one period of %.2f ms, %.0f s per run\n",
           getenv("SDL_AUDIODRIVER"), BLOCK_FRAMES, PERIOD_MS, seconds);
    printf("%-7s %-7s %6s %5s %8s %8s %8s %8s %6s %6s\n", "load", "driver", "syncs", "lost",
           "min_ms", "med_ms", "p99_ms", "max_ms", "width", "max/T");
    int failed = RunOnce(library, song, seconds, false);
    failed |= RunOnce(library, song, seconds, true);
    rmdir(temporary);
    printf("delay: callback time minus the event's heard time on the player's clock, upper\n"
           "bounds (width: median uncertainty, ms); lost: callbacks whose pull the watcher\n"
           "missed; max/T: worst delay in device periods\n");
    return failed;
}
