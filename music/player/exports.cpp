// The library's exports and its shared state. Every call sets the calling thread's error code.
#include "music/player/player_internal.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#define PLAYER_EXPORT extern "C" __attribute__((visibility("default")))

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

// Checks that the player is initialised (and with `music`, that a music is loaded), setting
// the error when not. Takes the lock; the caller unlocks.
bool LockReady(bool music) {
    pthread_mutex_lock(&PlayerLock);
    if (!Initialized)
        return SetError(PLAYER_ERROR_INIT);
    if (music && !MusicLoaded)
        return SetError(PLAYER_ERROR_NOMUSIC);
    return true;
}

int32_t Unlock(bool result) {
    pthread_mutex_unlock(&PlayerLock);
    return result ? 1 : 0;
}

// Reads `length` bytes at `offset` of a file (0: up to its end) into a malloc'ed block.
// Only a regular file of a module's size is read: a directory reports a nonsense length,
// a FIFO or device would block or never end. O_NONBLOCK keeps a FIFO from blocking the open.
uint8_t *ReadModuleFile(const char *path, uint32_t offset, uint32_t length, size_t *size) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > MODULE_FILE_MAX) {
        close(fd);
        return nullptr;
    }
    FILE *file = fdopen(fd, "rb");
    if (file == nullptr) {
        close(fd);
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
    pthread_mutex_lock(&PlayerLock);
    MusicClose();
    SyncCount = 0;
    ClearEventQueue();
    Initialized = false;
    Decoding = false;
    pthread_mutex_unlock(&PlayerLock);
}

PLAYER_EXPORT int32_t BASSMOD_ErrorGetCode() {
    return LastError;
}

PLAYER_EXPORT int32_t BASSMOD_Init(int32_t device, uint32_t freq, uint32_t flags) {
    (void)flags; // the output is always 16-bit stereo
    if (device < DEVICE_DEFAULT || device > DEVICE_OUTPUT)
        return SetError(PLAYER_ERROR_DEVICE);
    if (freq == 0)
        freq = OUTPUT_RATE;
    if (freq < XMP_MIN_SRATE || freq > XMP_MAX_SRATE)
        return SetError(PLAYER_ERROR_ILLPARAM);
    pthread_mutex_lock(&PlayerLock);
    if (Initialized)
        return Unlock(SetError(PLAYER_ERROR_ALREADY));
    Initialized = true;
    Device = device == DEVICE_NONE ? DEVICE_NONE : DEVICE_OUTPUT;
    Rate = freq;
    Volume = DEFAULT_VOLUME;
    Amplify = DEFAULT_AMPLIFY;
    PanSeparation = DEFAULT_PAN_SEPARATION;
    PositionScaler = 1;
    StreamFrame = 0;
    CpuPercent = 0;
    pthread_mutex_unlock(&PlayerLock);
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
PLAYER_EXPORT void BASSMOD_Free() {
    const bool ready = LockReady(false);
    pthread_mutex_unlock(&PlayerLock);
    if (!ready)
        return;
    PlayerShutdown();
    SetError(PLAYER_OK);
}

// Time spent rendering the last block, in percent of the block's playing time.
PLAYER_EXPORT uint32_t BASSMOD_GetCPU() {
    if (!LockReady(false))
        return Unlock(false);
    const uint32_t percent = CpuPercent;
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return percent;
}

PLAYER_EXPORT const char *BASSMOD_GetDeviceDescription(int32_t device) {
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

PLAYER_EXPORT uint32_t BASSMOD_GetVersion() {
    SetError(PLAYER_OK);
    return uint32_t(PLAYER_VERSION_MAJOR) | uint32_t(PLAYER_VERSION_MINOR) << 16;
}

PLAYER_EXPORT int32_t BASSMOD_GetVolume() {
    if (!LockReady(false)) {
        pthread_mutex_unlock(&PlayerLock);
        return -1;
    }
    const int32_t volume = int32_t(Volume);
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return volume;
}

// Output volume 0-100 (100: as mixed), applied with the amplification.
PLAYER_EXPORT int32_t BASSMOD_SetVolume(uint32_t volume) {
    if (!LockReady(false))
        return Unlock(false);
    if (volume > MAX_LEVEL)
        return Unlock(SetError(PLAYER_ERROR_ILLPARAM));
    Volume = volume;
    return Unlock(SetError(PLAYER_OK));
}

// mem 1: `file` points at the module, `length` 0 meaning the size its XM structure gives;
// mem 0: `file` is a path, `length` 0 meaning up to the file's end.
PLAYER_EXPORT int32_t BASSMOD_MusicLoad(int32_t mem, const void *file, uint32_t offset,
                                        uint32_t length, uint32_t flags) {
    const bool ready = LockReady(false);
    pthread_mutex_unlock(&PlayerLock);
    if (!ready)
        return 0;
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
    if (!LockReady(false)) {
        pthread_mutex_unlock(&PlayerLock);
        xmp_release_module(context);
        xmp_free_context(context);
        return 0;
    }
    return Unlock(SetError(MusicInstall(context, flags)));
}

PLAYER_EXPORT void BASSMOD_MusicFree() {
    if (LockReady(true)) {
        MusicClose();
        SetError(PLAYER_OK);
    }
    pthread_mutex_unlock(&PlayerLock);
}

// playlen 0: the number of orders; otherwise one pass's playing time in whole seconds.
PLAYER_EXPORT uint32_t BASSMOD_MusicGetLength(int32_t playlen) {
    if (!LockReady(true)) {
        pthread_mutex_unlock(&PlayerLock);
        return ERROR_RESULT;
    }
    const uint32_t length = playlen == 0 ? MusicOrderCount() : (MusicDurationMs() + 500) / 1000;
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return length;
}

PLAYER_EXPORT const char *BASSMOD_MusicGetName() {
    const bool ready = LockReady(true);
    pthread_mutex_unlock(&PlayerLock);
    if (!ready)
        return nullptr;
    SetError(PLAYER_OK);
    return MusicName;
}

// Order | row << 16 of the tick being heard (with DEVICE_NONE: being decoded).
PLAYER_EXPORT uint32_t BASSMOD_MusicGetPosition() {
    if (!LockReady(true)) {
        pthread_mutex_unlock(&PlayerLock);
        return ERROR_RESULT;
    }
    const uint32_t row = HeardRow * PositionScaler + HeardTick * PositionScaler / HeardSpeed;
    const uint32_t position = HeardOrder | row << 16;
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return position;
}

PLAYER_EXPORT uint32_t BASSMOD_MusicIsActive() {
    if (!LockReady(true))
        return Unlock(false);
    const uint32_t active = State == STATE_PLAYING  ? ACTIVE_PLAYING
                            : State == STATE_PAUSED ? ACTIVE_PAUSED
                                                    : ACTIVE_STOPPED;
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return active;
}

PLAYER_EXPORT int32_t BASSMOD_MusicPause() {
    if (!LockReady(true))
        return Unlock(false);
    if (State == STATE_STOPPED)
        return Unlock(SetError(PLAYER_ERROR_NOPLAY));
    State = STATE_PAUSED;
    return Unlock(SetError(PLAYER_OK));
}

PLAYER_EXPORT int32_t BASSMOD_MusicPlay() {
    if (!LockReady(true))
        return Unlock(false);
    if (MusicEnded && !MusicRewind())
        return Unlock(SetError(PLAYER_ERROR_UNKNOWN));
    MusicEnded = false;
    State = STATE_PLAYING;
    return Unlock(SetError(PLAYER_OK));
}

// pos: order | row << 16; flags: new load flags, or -1 to keep them; reset: restart the replay
// state (notes cut, speed and tempo as loaded) before moving.
PLAYER_EXPORT int32_t BASSMOD_MusicPlayEx(uint32_t pos, int32_t flags, int32_t reset) {
    if (!LockReady(true))
        return Unlock(false);
    if (reset != 0 && !MusicResetReplay())
        return Unlock(SetError(PLAYER_ERROR_UNKNOWN));
    const int32_t result = MusicSeek(pos);
    if (result != PLAYER_OK)
        return Unlock(SetError(result));
    if (flags != -1)
        MusicFlags = uint32_t(flags);
    MusicEnded = false;
    State = STATE_PLAYING;
    return Unlock(SetError(PLAYER_OK));
}

PLAYER_EXPORT int32_t BASSMOD_MusicSetPosition(uint32_t pos) {
    if (!LockReady(true))
        return Unlock(false);
    const int32_t result = MusicSeek(pos);
    if (result == PLAYER_OK)
        MusicEnded = false;
    return Unlock(SetError(result));
}

PLAYER_EXPORT int32_t BASSMOD_MusicStop() {
    if (!LockReady(true))
        return Unlock(false);
    if (!MusicRewind())
        return Unlock(SetError(PLAYER_ERROR_UNKNOWN));
    State = STATE_STOPPED;
    MusicEnded = false;
    return Unlock(SetError(PLAYER_OK));
}

// Amplification 0-100: 50 leaves the mix as it is, 100 doubles it (clipped).
PLAYER_EXPORT int32_t BASSMOD_MusicSetAmplify(uint32_t amp) {
    if (!LockReady(false))
        return Unlock(false);
    if (amp > MAX_LEVEL)
        return Unlock(SetError(PLAYER_ERROR_ILLPARAM));
    Amplify = amp;
    return Unlock(SetError(PLAYER_OK));
}

// Stereo separation 0-100 of the channels' panning (100, the default: full).
PLAYER_EXPORT int32_t BASSMOD_MusicSetPanSep(uint32_t pan) {
    if (!LockReady(false))
        return Unlock(false);
    if (pan > MAX_LEVEL)
        return Unlock(SetError(PLAYER_ERROR_ILLPARAM));
    PanSeparation = pan;
    if (MusicLoaded)
        xmp_set_player(Xmp, XMP_PLAYER_MIX, int(pan));
    return Unlock(SetError(PLAYER_OK));
}

// 1-256: BASSMOD_MusicGetPosition's row field counts row x scale plus the ticks passed in the
// row, scaled the same way.
PLAYER_EXPORT int32_t BASSMOD_MusicSetPositionScaler(uint32_t scale) {
    if (!LockReady(false))
        return Unlock(false);
    if (scale == 0 || scale > MAX_POSITION_SCALER)
        return Unlock(SetError(PLAYER_ERROR_ILLPARAM));
    PositionScaler = scale;
    return Unlock(SetError(PLAYER_OK));
}

PLAYER_EXPORT uint32_t BASSMOD_MusicSetSync(uint32_t type, uint32_t param, SyncProc proc,
                                            uint32_t user) {
    if (!LockReady(true))
        return Unlock(false);
    if (type != SYNC_POSITION_ONCE && type != SYNC_INSTRUMENT)
        return Unlock(SetError(PLAYER_ERROR_ILLTYPE));
    if (proc == nullptr || (type == SYNC_INSTRUMENT && (param & 0xFFFF) == 0))
        return Unlock(SetError(PLAYER_ERROR_ILLPARAM));
    if (SyncCount == MAX_SYNCS)
        return Unlock(SetError(PLAYER_ERROR_NOSYNC));
    const uint32_t handle = NextSyncHandle++;
    if (NextSyncHandle == 0)
        NextSyncHandle = 1;
    Syncs[SyncCount++] = {handle, type, uint16_t(param), uint16_t(param >> 16), proc, user, false};
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return handle;
}

PLAYER_EXPORT int32_t BASSMOD_MusicRemoveSync(uint32_t sync) {
    if (!LockReady(false))
        return Unlock(false);
    for (int i = 0; i < SyncCount; ++i) {
        if (Syncs[i].handle != sync)
            continue;
        for (int j = i + 1; j < SyncCount; ++j) // keeps the registration order
            Syncs[j - 1] = Syncs[j];
        --SyncCount;
        return Unlock(SetError(PLAYER_OK));
    }
    return Unlock(SetError(PLAYER_ERROR_HANDLE));
}

PLAYER_EXPORT uint32_t BASSMOD_MusicDecode(int16_t *buffer, uint32_t frames) {
    if (!LockReady(false))
        return Unlock(false);
    if (Device != DEVICE_NONE)
        return Unlock(SetError(PLAYER_ERROR_DEVICE));
    if (Decoding) // from a sync callback of this very decode
        return Unlock(SetError(PLAYER_ERROR_UNKNOWN));
    Decoding = true;
    const double start = MonotonicSeconds();
    RenderLocked(buffer, frames, true);
    if (frames > 0)
        CpuPercent = uint32_t((MonotonicSeconds() - start) * Rate * 100.0 / frames + 0.5);
    Decoding = false;
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return frames;
}

PLAYER_EXPORT uint32_t BASSMOD_MusicGetFrame() {
    pthread_mutex_lock(&PlayerLock);
    const uint64_t frame = CallbackFrame >= 0 ? uint64_t(CallbackFrame) : StreamFrame;
    pthread_mutex_unlock(&PlayerLock);
    SetError(PLAYER_OK);
    return uint32_t(frame);
}
