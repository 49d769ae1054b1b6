// Output on Windows: the wave-out device (winmm) or, when none opens, a silent clock that
// pulls the music at real-time pace; and the dispatcher thread that fires each sync when its
// sound is heard, by the device's own play position.
#include "music/player/player_internal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int WAVE_BUFFERS = 4; // ~93 ms queued at 44100 Hz
constexpr uint32_t FRAME_BYTES = 2 * sizeof(int16_t);
constexpr DWORD FEED_WAIT_MS = 50;
constexpr double MIN_DISPATCH_WAIT = 0.0005; // seconds
constexpr double MAX_DISPATCH_WAIT = 0.05;
constexpr double MAX_CLOCK_LAG = 0.2; // a silent clock this far behind starts afresh
constexpr size_t REASON_LENGTH = 160;

HWAVEOUT Wave;
HANDLE WaveDone; // signalled by the device whenever a buffer has played
WAVEHDR Headers[WAVE_BUFFERS];
pthread_t FeedThread, ClockThread, DispatchThread;
bool FeedRunning, ClockRunning, DispatchRunning;
bool Stopping;
uint32_t DispatchRun; // a dispatcher leaves when this moves past the run it started in
bool Unloading;       // DllMain saw the detach: the loader lock is held

// The silent clock's heard position: at AnchorTime the listener was at AnchorFrame, and it
// advances at the output rate up to AnchorLimit.
bool AnchorValid;
double AnchorTime;
int64_t AnchorFrame, AnchorLimit;
int64_t LastHeard; // frames heard; negative until the first block plays

// The condition variable's timed wait counts in the calendar clock here.
void WaitLocked(double seconds) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    double due = double(now.tv_sec) + double(now.tv_nsec) * 1e-9 + seconds;
    timespec deadline;
    deadline.tv_sec = time_t(due);
    deadline.tv_nsec = long((due - double(deadline.tv_sec)) * 1e9);
    pthread_cond_timedwait(&PlayerWake, &PlayerLock, &deadline);
}

void PullLocked(int16_t *out, uint32_t frames) {
    const double start = MonotonicSeconds();
    const uint32_t queued = QueueCount;
    RenderLocked(out, frames, false);
    CpuPercent = uint32_t((MonotonicSeconds() - start) * Rate * 100.0 / frames + 0.5);
    if (QueueCount != queued)
        pthread_cond_broadcast(&PlayerWake);
}

// Refills every buffer the device has played and hands it back.
void *FeedMain(void *) {
    for (;;) {
        pthread_mutex_lock(&PlayerLock);
        const bool stop = Stopping;
        if (!stop) {
            for (WAVEHDR &header : Headers) {
                if (!(header.dwFlags & WHDR_DONE))
                    continue;
                PullLocked(reinterpret_cast<int16_t *>(header.lpData),
                           header.dwBufferLength / FRAME_BYTES);
                header.dwFlags &= ~WHDR_DONE;
                waveOutWrite(Wave, &header, sizeof header);
            }
        }
        pthread_mutex_unlock(&PlayerLock);
        if (stop)
            return nullptr;
        WaitForSingleObject(WaveDone, FEED_WAIT_MS);
    }
}

// Nothing to hear, but the music keeps time: a block is "heard" from the moment it is pulled.
void *ClockMain(void *) {
    const double blockSeconds = double(DEVICE_BUFFER_FRAMES) / Rate;
    double due = MonotonicSeconds();
    pthread_mutex_lock(&PlayerLock);
    while (!Stopping) {
        const double now = MonotonicSeconds();
        if (now < due) {
            WaitLocked(due - now);
            continue;
        }
        AnchorValid = true;
        AnchorTime = now;
        AnchorFrame = int64_t(StreamFrame);
        AnchorLimit = AnchorFrame + DEVICE_BUFFER_FRAMES;
        PullLocked(nullptr, DEVICE_BUFFER_FRAMES);
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
        WaitLocked(wait);
    }
    pthread_mutex_unlock(&PlayerLock);
    return nullptr;
}

void ReportSilentClock(const char *reason) {
    fprintf(stderr, "player: no audio device (%s), the music runs on a silent clock\n", reason);
}

void FreeBuffers() {
    for (WAVEHDR &header : Headers) {
        if (Wave && (header.dwFlags & WHDR_PREPARED))
            waveOutUnprepareHeader(Wave, &header, sizeof header);
        if (header.lpData)
            HeapFree(GetProcessHeap(), 0, header.lpData);
        header = WAVEHDR{};
    }
}

bool OpenDevice(char *reason) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = Rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = FRAME_BYTES;
    format.nAvgBytesPerSec = Rate * FRAME_BYTES;
    WaveDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const MMRESULT result =
        WaveDone ? waveOutOpen(&Wave, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(WaveDone),
                               0, CALLBACK_EVENT)
                 : MMSYSERR_NOMEM;
    if (result != MMSYSERR_NOERROR) {
        char text[MAXERRORLENGTH] = "";
        waveOutGetErrorTextA(result, text, sizeof text);
        snprintf(reason, REASON_LENGTH, "%s", text[0] ? text : "wave-out refused");
        Wave = nullptr;
        return false;
    }
    // The buffers live in the process heap, which outlasts this library's unloading.
    for (WAVEHDR &header : Headers) {
        header.dwBufferLength = DEVICE_BUFFER_FRAMES * FRAME_BYTES;
        header.lpData = static_cast<LPSTR>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, header.dwBufferLength));
        if (!header.lpData ||
            waveOutPrepareHeader(Wave, &header, sizeof header) != MMSYSERR_NOERROR) {
            snprintf(reason, REASON_LENGTH, "no memory for the wave-out buffers");
            FreeBuffers();
            waveOutClose(Wave);
            Wave = nullptr;
            return false;
        }
        header.dwFlags |= WHDR_DONE; // the feeder fills it first
    }
    return true;
}

// Unloading without BASSMOD_Free runs under the loader lock, where no thread can end:
// the threads are stopped where they stand and left to the process's end.
void SuspendAll() {
    if (FeedRunning)
        SuspendThread(pthread_gethandle(FeedThread));
    if (ClockRunning)
        SuspendThread(pthread_gethandle(ClockThread));
    if (DispatchRunning)
        SuspendThread(pthread_gethandle(DispatchThread));
    FeedRunning = ClockRunning = DispatchRunning = false;
    Wave = nullptr;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH)
        Unloading = true;
    return TRUE;
}

double MonotonicSeconds() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

int64_t HeardFrameLocked() {
    if (Wave) {
        MMTIME position = {};
        position.wType = TIME_SAMPLES;
        if (waveOutGetPosition(Wave, &position, sizeof position) == MMSYSERR_NOERROR &&
            position.wType == TIME_SAMPLES && int64_t(position.u.sample) > LastHeard)
            LastHeard = int64_t(position.u.sample);
        return LastHeard;
    }
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
    const bool device = OpenDevice(reason);
    DispatchRunning = pthread_create(&DispatchThread, nullptr, DispatchMain, nullptr) == 0;
    if (device && DispatchRunning) {
        FeedRunning = pthread_create(&FeedThread, nullptr, FeedMain, nullptr) == 0;
        if (FeedRunning)
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
    if (Unloading) {
        SuspendAll();
        return;
    }
    pthread_mutex_lock(&PlayerLock);
    Stopping = true;
    ++DispatchRun;
    pthread_cond_broadcast(&PlayerWake);
    pthread_mutex_unlock(&PlayerLock);
    if (FeedRunning) {
        SetEvent(WaveDone);
        pthread_join(FeedThread, nullptr);
        FeedRunning = false;
    }
    if (Wave) {
        waveOutReset(Wave); // hands every buffer back
        FreeBuffers();
        waveOutClose(Wave);
        Wave = nullptr;
    }
    if (WaveDone) {
        CloseHandle(WaveDone);
        WaveDone = nullptr;
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
