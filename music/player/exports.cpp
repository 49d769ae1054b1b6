// The library's exports and its shared state. Every call sets the calling thread's error code.
#include "music/player/player_internal.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#ifdef _WIN32
#define PLAYER_EXPORT extern "C" __declspec(dllexport)
#else
#define PLAYER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

pthread_mutex_t PlayerLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t PlayerWake;

bool Initialized;
int32_t Device;
uint32_t Rate = OUTPUT_RATE;

xmp_context Xmp;
bool MusicLoaded;
uint32_t MusicFlags;
PlayState State;
bool MusicEnded;
uint32_t MusicGeneration;
char MusicName[XMP_NAME_SIZE];
uint32_t Volume = DEFAULT_VOLUME, Amplify = DEFAULT_AMPLIFY, PanSeparation = DEFAULT_PAN_SEPARATION,
         PositionScaler = 1;

uint16_t HeardOrder, HeardRow, HeardTick, HeardSpeed = 1;
uint64_t StreamFrame;
uint32_t CpuPercent;

SyncPoint Syncs[MAX_SYNCS];
int SyncCount;
SyncEvent EventQueue[EVENT_QUEUE_SIZE];
uint32_t QueueHead, QueueCount;

thread_local int32_t LastError;
thread_local int64_t CallbackFrame = -1;

namespace {

constexpr int32_t DEVICE_OUTPUT = 1; // the default output by number; -1 names it too
constexpr uint32_t MAX_LEVEL = 100;  // volume, amplification, pan separation
constexpr uint32_t ERROR_RESULT = 0xFFFFFFFF;
constexpr off_t MODULE_FILE_MAX = 64 << 20; // far above any module; keeps malloc sane

uint32_t NextSyncHandle = 1;
bool Decoding;

// Holds PlayerLock from here to the end of the scope, or to Release(): every way out of an
// export unlocks.
struct ScopedLock {
    ScopedLock() { pthread_mutex_lock(&PlayerLock); }
    ~ScopedLock() { Release(); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;
    void Release() {
        if (held)
            pthread_mutex_unlock(&PlayerLock);
        held = false;
    }
    bool held = true;
};

// Checks, under the lock, that the player is initialised (and with `music`, that a music is
// loaded), setting the error when not.
bool Ready(bool music) {
    if (!Initialized)
        return SetError(PLAYER_ERROR_INIT);
    if (music && !MusicLoaded)
        return SetError(PLAYER_ERROR_NOMUSIC);
    return true;
}

bool IsModuleFile(const struct stat &info) {
    return S_ISREG(info.st_mode) && info.st_size <= MODULE_FILE_MAX;
}

// Reads `length` bytes at `offset` of a file (0: up to its end) into a malloc'ed block.
// Only a regular file of a module's size is read: a directory reports a nonsense length,
// a FIFO or device would block or never end. Checked before the open (a FIFO's open would
// block) and again on the file opened.
uint8_t *ReadModuleFile(const char *path, uint32_t offset, uint32_t length, size_t *size) {
    struct stat info;
    if (stat(path, &info) != 0 || !IsModuleFile(info))
        return nullptr;
    FILE *file = fopen(path, "rb");
    if (file == nullptr)
        return nullptr;
    if (fstat(fileno(file), &info) != 0 || !IsModuleFile(info)) {
        fclose(file);
        return nullptr;
    }
    uint8_t *data = nullptr;
    if (fseek(file, 0, SEEK_END) == 0) {
        const long end = ftell(file);
        if (end >= 0 && uint64_t(offset) + length <= uint64_t(end)) {
            *size = length != 0 ? length : size_t(end) - offset;
            data = static_cast<uint8_t *>(malloc(*size != 0 ? *size : 1));
            if (data != nullptr && (fseek(file, long(offset), SEEK_SET) != 0 ||
                                    fread(data, 1, *size, file) != *size)) {
                free(data);
                data = nullptr;
            }
        }
    }
    fclose(file);
    return data;
}

void PlayerLoad() __attribute__((constructor));
void PlayerLoad() {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&PlayerWake, &attributes);
    pthread_condattr_destroy(&attributes);
}

// Unloading without BASSMOD_Free: the threads must be gone before the code is.
void PlayerUnload() __attribute__((destructor));
void PlayerUnload() {
    if (Initialized)
        PlayerShutdown();
}

} // namespace

bool SetError(int32_t code) {
    LastError = code;
    return code == PLAYER_OK;
}

void PlayerShutdown() {
    OutputClose();
    ScopedLock lock;
    MusicClose();
    SyncCount = 0;
    ClearEventQueue();
    Initialized = false;
    Decoding = false;
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_ErrorGetCode() {
    return LastError;
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_Init(int32_t device, uint32_t freq, uint32_t flags) {
    (void)flags; // the output is always 16-bit stereo
    if (device < DEVICE_DEFAULT || device > DEVICE_OUTPUT)
        return SetError(PLAYER_ERROR_DEVICE);
    if (freq == 0)
        freq = OUTPUT_RATE;
    if (freq < XMP_MIN_SRATE || freq > XMP_MAX_SRATE)
        return SetError(PLAYER_ERROR_ILLPARAM);
    {
        ScopedLock lock;
        if (Initialized)
            return SetError(PLAYER_ERROR_ALREADY);
        Initialized = true;
        Device = device == DEVICE_NONE ? DEVICE_NONE : DEVICE_OUTPUT;
        Rate = freq;
        Volume = DEFAULT_VOLUME;
        Amplify = DEFAULT_AMPLIFY;
        PanSeparation = DEFAULT_PAN_SEPARATION;
        PositionScaler = 1;
        StreamFrame = 0;
        CpuPercent = 0;
    }
    if (Device != DEVICE_NONE) {
        const int32_t result = OutputOpen();
        if (result != PLAYER_OK) {
            PlayerShutdown();
            return SetError(result);
        }
    }
    return SetError(PLAYER_OK);
}

// Ends playback and releases everything: no callback comes after it returns (unless it is
// called from a callback, which then returns on its own).
PLAYER_EXPORT void PLAYER_CALL BASSMOD_Free() {
    ScopedLock lock;
    if (!Ready(false))
        return;
    lock.Release();
    PlayerShutdown();
    SetError(PLAYER_OK);
}

// Time spent rendering the last block, in percent of the block's playing time.
PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_GetCPU() {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    SetError(PLAYER_OK);
    return CpuPercent;
}

PLAYER_EXPORT const char *PLAYER_CALL BASSMOD_GetDeviceDescription(int32_t device) {
    if (device == DEVICE_NONE) {
        SetError(PLAYER_OK);
        return "No sound";
    }
    if (device == DEVICE_DEFAULT || device == DEVICE_OUTPUT) {
        SetError(PLAYER_OK);
        return "Default output";
    }
    SetError(PLAYER_ERROR_DEVICE);
    return nullptr;
}

PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_GetVersion() {
    SetError(PLAYER_OK);
    return uint32_t(PLAYER_VERSION_MAJOR) | uint32_t(PLAYER_VERSION_MINOR) << 16;
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_GetVolume() {
    ScopedLock lock;
    if (!Ready(false))
        return -1;
    SetError(PLAYER_OK);
    return int32_t(Volume);
}

// Output volume 0-100 (100: as mixed), applied with the amplification.
PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_SetVolume(uint32_t volume) {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    if (volume > MAX_LEVEL)
        return SetError(PLAYER_ERROR_ILLPARAM);
    Volume = volume;
    return SetError(PLAYER_OK);
}

// mem 1: `file` points at the module, `length` 0 meaning the size its XM structure gives;
// mem 0: `file` is a path, `length` 0 meaning up to the file's end.
PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicLoad(int32_t mem, const void *file, uint32_t offset,
                                                    uint32_t length, uint32_t flags) {
    {
        ScopedLock lock;
        if (!Ready(false))
            return 0;
    }
    if (file == nullptr)
        return SetError(mem != 0 ? PLAYER_ERROR_ILLPARAM : PLAYER_ERROR_FILEOPEN);
    const uint8_t *data = nullptr;
    uint8_t *fileData = nullptr;
    size_t size = 0;
    if (mem != 0) {
        data = static_cast<const uint8_t *>(file) + offset;
        size = length != 0 ? length : XmModuleSize(data);
        if (size == 0)
            return SetError(PLAYER_ERROR_FORMAT);
    } else {
        fileData = ReadModuleFile(static_cast<const char *>(file), offset, length, &size);
        if (fileData == nullptr)
            return SetError(PLAYER_ERROR_FILEOPEN);
        data = fileData;
    }
    // Parsed outside the lock: a device pull must not wait for a whole module's loading.
    xmp_context context = xmp_create_context();
    int result = context != nullptr ? xmp_load_module_from_memory(context, data, long(size))
                                    : -XMP_ERROR_SYSTEM;
    free(fileData);
    if (result != 0) {
        if (context != nullptr)
            xmp_free_context(context);
        return SetError(result == -XMP_ERROR_SYSTEM ? PLAYER_ERROR_MEM : PLAYER_ERROR_FORMAT);
    }
    ScopedLock lock;
    if (!Ready(false)) { // freed meanwhile
        xmp_release_module(context);
        xmp_free_context(context);
        return 0;
    }
    return SetError(MusicInstall(context, flags));
}

PLAYER_EXPORT void PLAYER_CALL BASSMOD_MusicFree() {
    ScopedLock lock;
    if (!Ready(true))
        return;
    MusicClose();
    SetError(PLAYER_OK);
}

// playlen 0: the number of orders; otherwise one pass's playing time in whole seconds.
PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_MusicGetLength(int32_t playlen) {
    ScopedLock lock;
    if (!Ready(true))
        return ERROR_RESULT;
    SetError(PLAYER_OK);
    return playlen == 0 ? MusicOrderCount() : (MusicDurationMs() + 500) / 1000;
}

PLAYER_EXPORT const char *PLAYER_CALL BASSMOD_MusicGetName() {
    ScopedLock lock;
    if (!Ready(true))
        return nullptr;
    SetError(PLAYER_OK);
    return MusicName;
}

// Order | row << 16 of the tick being heard (with DEVICE_NONE: being decoded).
PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_MusicGetPosition() {
    ScopedLock lock;
    if (!Ready(true))
        return ERROR_RESULT;
    const uint32_t row = HeardRow * PositionScaler + HeardTick * PositionScaler / HeardSpeed;
    SetError(PLAYER_OK);
    return HeardOrder | row << 16;
}

PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_MusicIsActive() {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    SetError(PLAYER_OK);
    return State == STATE_PLAYING  ? ACTIVE_PLAYING
           : State == STATE_PAUSED ? ACTIVE_PAUSED
                                   : ACTIVE_STOPPED;
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicPause() {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    if (State == STATE_STOPPED)
        return SetError(PLAYER_ERROR_NOPLAY);
    State = STATE_PAUSED;
    return SetError(PLAYER_OK);
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicPlay() {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    if (MusicEnded && !MusicRewind())
        return SetError(PLAYER_ERROR_UNKNOWN);
    MusicEnded = false;
    State = STATE_PLAYING;
    return SetError(PLAYER_OK);
}

// pos: order | row << 16; flags: new load flags, or -1 to keep them; reset: restart the replay
// state (notes cut, speed and tempo as loaded) before moving.
PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicPlayEx(uint32_t pos, int32_t flags, int32_t reset) {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    if (reset != 0 && !MusicResetReplay())
        return SetError(PLAYER_ERROR_UNKNOWN);
    const int32_t result = MusicSeek(pos);
    if (result != PLAYER_OK)
        return SetError(result);
    if (flags != -1)
        MusicFlags = uint32_t(flags);
    MusicEnded = false;
    State = STATE_PLAYING;
    return SetError(PLAYER_OK);
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicSetPosition(uint32_t pos) {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    const int32_t result = MusicSeek(pos);
    if (result == PLAYER_OK)
        MusicEnded = false;
    return SetError(result);
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicStop() {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    if (!MusicRewind())
        return SetError(PLAYER_ERROR_UNKNOWN);
    State = STATE_STOPPED;
    MusicEnded = false;
    return SetError(PLAYER_OK);
}

// Amplification 0-100: 50 leaves the mix as it is, 100 doubles it (clipped).
PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicSetAmplify(uint32_t amp) {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    if (amp > MAX_LEVEL)
        return SetError(PLAYER_ERROR_ILLPARAM);
    Amplify = amp;
    return SetError(PLAYER_OK);
}

// Stereo separation 0-100 of the channels' panning (100, the default: full).
PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicSetPanSep(uint32_t pan) {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    if (pan > MAX_LEVEL)
        return SetError(PLAYER_ERROR_ILLPARAM);
    PanSeparation = pan;
    if (MusicLoaded)
        xmp_set_player(Xmp, XMP_PLAYER_MIX, int(pan));
    return SetError(PLAYER_OK);
}

// 1-256: BASSMOD_MusicGetPosition's row field counts row x scale plus the ticks passed in the
// row, scaled the same way.
PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicSetPositionScaler(uint32_t scale) {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    if (scale == 0 || scale > MAX_POSITION_SCALER)
        return SetError(PLAYER_ERROR_ILLPARAM);
    PositionScaler = scale;
    return SetError(PLAYER_OK);
}

PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_MusicSetSync(uint32_t type, uint32_t param,
                                                        SyncProc proc, uint32_t user) {
    ScopedLock lock;
    if (!Ready(true))
        return 0;
    if (type != SYNC_POSITION_ONCE && type != SYNC_INSTRUMENT)
        return SetError(PLAYER_ERROR_ILLTYPE);
    if (proc == nullptr || (type == SYNC_INSTRUMENT && (param & 0xFFFF) == 0))
        return SetError(PLAYER_ERROR_ILLPARAM);
    if (SyncCount == MAX_SYNCS)
        return SetError(PLAYER_ERROR_NOSYNC);
    const uint32_t handle = NextSyncHandle++;
    if (NextSyncHandle == 0)
        NextSyncHandle = 1;
    Syncs[SyncCount++] = {handle, type, uint16_t(param), uint16_t(param >> 16), proc, user, false};
    SetError(PLAYER_OK);
    return handle;
}

PLAYER_EXPORT int32_t PLAYER_CALL BASSMOD_MusicRemoveSync(uint32_t sync) {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    for (int i = 0; i < SyncCount; ++i) {
        if (Syncs[i].handle != sync)
            continue;
        for (int j = i + 1; j < SyncCount; ++j) // keeps the registration order
            Syncs[j - 1] = Syncs[j];
        --SyncCount;
        return SetError(PLAYER_OK);
    }
    return SetError(PLAYER_ERROR_HANDLE);
}

PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_MusicDecode(int16_t *buffer, uint32_t frames) {
    ScopedLock lock;
    if (!Ready(false))
        return 0;
    if (Device != DEVICE_NONE)
        return SetError(PLAYER_ERROR_DEVICE);
    if (Decoding) // from a sync callback of this very decode
        return SetError(PLAYER_ERROR_UNKNOWN);
    Decoding = true;
    const double start = MonotonicSeconds();
    RenderLocked(buffer, frames, true);
    if (frames > 0)
        CpuPercent = uint32_t((MonotonicSeconds() - start) * Rate * 100.0 / frames + 0.5);
    Decoding = false;
    SetError(PLAYER_OK);
    return frames;
}

PLAYER_EXPORT uint32_t PLAYER_CALL BASSMOD_MusicGetFrame() {
    ScopedLock lock;
    SetError(PLAYER_OK);
    return uint32_t(CallbackFrame >= 0 ? uint64_t(CallbackFrame) : StreamFrame);
}
