// Output: the SDL audio device or, when none opens, a silent clock that pulls the music at
// real-time pace; and the dispatcher thread that fires each sync when its sound is heard.
#include "music/player/player_internal.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr double MIN_DISPATCH_WAIT = 0.0005; // seconds
constexpr double MAX_DISPATCH_WAIT = 0.05;   // re-reads the clock after a late device pull
constexpr double MAX_CLOCK_LAG = 0.2;        // a silent clock this far behind starts afresh
constexpr size_t REASON_LENGTH = 160;

SDL_AudioDeviceID AudioDevice;
bool AudioSubsystem;
pthread_t ClockThread, DispatchThread;
bool ClockRunning, DispatchRunning;
bool Stopping;
uint32_t DispatchRun; // a dispatcher leaves when this moves past the run it started in
uint32_t LatencyFrames;

// The heard-position clock: at AnchorTime the listener was at AnchorFrame, and it advances at
// the output rate up to AnchorLimit, where the next pull re-anchors it.
bool AnchorValid;
double AnchorTime;
int64_t AnchorFrame, AnchorLimit;
int64_t LastHeard; // frames heard; negative until the first block plays

timespec ToTimespec(double seconds) {
    timespec result;
    result.tv_sec = time_t(seconds);
    result.tv_nsec = long((seconds - double(result.tv_sec)) * 1e9);
    return result;
}

// Renders the next block for the output. A device still holds `latency` frames when it asks
// for more, so the block's first frame is heard that much after the pull: the clock is
// anchored there.
void PullLocked(int16_t *out, uint32_t frames, uint32_t latency) {
    const double start = MonotonicSeconds();
    AnchorValid = true;
    AnchorTime = start;
    AnchorFrame = int64_t(StreamFrame) - int64_t(latency);
    AnchorLimit = AnchorFrame + int64_t(frames);
    const uint32_t queued = QueueCount;
    RenderLocked(out, frames, false);
    CpuPercent = uint32_t((MonotonicSeconds() - start) * Rate * 100.0 / frames + 0.5);
    if (QueueCount != queued)
        pthread_cond_broadcast(&PlayerWake);
}

void DevicePull(void *, Uint8 *stream, int bytes) {
    pthread_mutex_lock(&PlayerLock);
    PullLocked(reinterpret_cast<int16_t *>(stream), uint32_t(bytes) / (2 * sizeof(int16_t)),
               LatencyFrames);
    pthread_mutex_unlock(&PlayerLock);
}

// Nothing to hear, but the music keeps time: a block is "heard" from the moment it is pulled.
void *ClockMain(void *) {
    const double blockSeconds = double(DEVICE_BUFFER_FRAMES) / Rate;
    double due = MonotonicSeconds();
    pthread_mutex_lock(&PlayerLock);
    while (!Stopping) {
        const double now = MonotonicSeconds();
        if (now < due) {
            const timespec deadline = ToTimespec(due);
            pthread_cond_timedwait(&PlayerWake, &PlayerLock, &deadline);
            continue;
        }
        PullLocked(nullptr, DEVICE_BUFFER_FRAMES, 0);
        due += blockSeconds;
        if (now - due > MAX_CLOCK_LAG)
            due = now;
    }
    pthread_mutex_unlock(&PlayerLock);
    return nullptr;
}

void *DispatchMain(void *) {
    pthread_mutex_lock(&PlayerLock);
    const uint32_t run = DispatchRun;
    while (!Stopping && DispatchRun == run) {
        SyncEvent event;
        if (PopDueEvent(HeardFrameLocked(), &event)) {
            DispatchLocked(event);
            continue;
        }
        if (QueueCount == 0) {
            pthread_cond_wait(&PlayerWake, &PlayerLock);
            continue;
        }
        double wait = double(int64_t(EventQueue[QueueHead].frame) - HeardFrameLocked()) / Rate;
        wait = wait < MIN_DISPATCH_WAIT   ? MIN_DISPATCH_WAIT
               : wait > MAX_DISPATCH_WAIT ? MAX_DISPATCH_WAIT
                                          : wait;
        const timespec deadline = ToTimespec(MonotonicSeconds() + wait);
        pthread_cond_timedwait(&PlayerWake, &PlayerLock, &deadline);
    }
    pthread_mutex_unlock(&PlayerLock);
    return nullptr;
}

// One line, whatever the reason's text holds.
void ReportSilentClock(const char *reason) {
    char text[REASON_LENGTH];
    snprintf(text, sizeof text, "%s", reason[0] != 0 ? reason : "unknown reason");
    for (char *c = text; *c != 0; ++c)
        if (*c == '\n' || *c == '\r')
            *c = ' ';
    fprintf(stderr, "player: no audio device (%s), the music runs on a silent clock\n", text);
}

bool OpenDevice(char *reason) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        snprintf(reason, REASON_LENGTH, "%s", SDL_GetError());
        return false;
    }
    AudioSubsystem = true;
    SDL_AudioSpec want;
    SDL_AudioSpec have;
    memset(&want, 0, sizeof want);
    want.freq = int(Rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = DEVICE_BUFFER_FRAMES;
    want.callback = DevicePull;
    AudioDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (AudioDevice == 0) {
        snprintf(reason, REASON_LENGTH, "%s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        AudioSubsystem = false;
        return false;
    }
    LatencyFrames = have.samples;
    return true;
}

} // namespace

double MonotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

int64_t HeardFrameLocked() {
    if (!AnchorValid)
        return LastHeard;
    int64_t heard = AnchorFrame + int64_t((MonotonicSeconds() - AnchorTime) * Rate);
    if (heard > AnchorLimit)
        heard = AnchorLimit;
    if (heard > LastHeard)
        LastHeard = heard;
    return LastHeard;
}

int32_t OutputOpen() {
    pthread_mutex_lock(&PlayerLock);
    Stopping = false;
    AnchorValid = false;
    LastHeard = -1;
    pthread_mutex_unlock(&PlayerLock);
    char reason[REASON_LENGTH];
    // Sound libraries probed on the way (ALSA without a card) print their own complaints;
    // the reason comes back through SDL, and the one line below says what matters.
    fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (savedStderr >= 0 && quiet >= 0)
        dup2(quiet, STDERR_FILENO);
    const bool device = OpenDevice(reason);
    if (savedStderr >= 0 && quiet >= 0)
        dup2(savedStderr, STDERR_FILENO);
    if (quiet >= 0)
        close(quiet);
    if (savedStderr >= 0)
        close(savedStderr);
    DispatchRunning = pthread_create(&DispatchThread, nullptr, DispatchMain, nullptr) == 0;
    if (device && DispatchRunning) {
        SDL_PauseAudioDevice(AudioDevice, 0);
        return PLAYER_OK;
    }
    if (DispatchRunning && !device) {
        ClockRunning = pthread_create(&ClockThread, nullptr, ClockMain, nullptr) == 0;
        if (ClockRunning) {
            ReportSilentClock(reason);
            return PLAYER_OK;
        }
    }
    OutputClose();
    return PLAYER_ERROR_UNKNOWN;
}

void OutputClose() {
    pthread_mutex_lock(&PlayerLock);
    Stopping = true;
    ++DispatchRun;
    pthread_cond_broadcast(&PlayerWake);
    pthread_mutex_unlock(&PlayerLock);
    if (AudioDevice != 0) {
        SDL_CloseAudioDevice(AudioDevice); // waits for a pull in progress
        AudioDevice = 0;
    }
    if (AudioSubsystem) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        AudioSubsystem = false;
        // Nothing else of SDL in use: release it all, as the library may be unloaded next.
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
            SDL_Quit();
    }
    if (ClockRunning) {
        pthread_join(ClockThread, nullptr);
        ClockRunning = false;
    }
    if (DispatchRunning) {
        // A sync callback that frees the player runs on the dispatcher: it cannot wait for
        // itself, and leaves on its own once the callback returns.
        if (pthread_equal(pthread_self(), DispatchThread))
            pthread_detach(DispatchThread);
        else
            pthread_join(DispatchThread, nullptr);
        DispatchRunning = false;
    }
}
