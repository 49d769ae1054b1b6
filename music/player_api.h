// The module player's exported interface: the contract between the show and the player
// library that it writes out and loads at run time. Every export has C linkage.
#pragma once
#include <cstdint>

// The exports' calling convention: the callee pops its arguments on 32-bit Windows, as the
// system's own libraries do; the platform's default elsewhere.
#ifdef _WIN32
#define PLAYER_CALL __stdcall
#else
#define PLAYER_CALL
#endif

// Sync types.
constexpr uint32_t SYNC_POSITION_ONCE = 0x80000000u; // param: order (low 16 bits), row (high 16)
constexpr uint32_t SYNC_INSTRUMENT = 1;              // param: instrument (low 16), note (high 16)
constexpr uint32_t SYNC_ANY_NOTE = 0xFFFF;
// Position syncs fire once per run (a run starts at load, at BASSMOD_MusicStop and when a music
// that played to its end is played again), on the first tick of their row; passing the order
// again, after a loop or a jump back, does not fire them. Their callback data: order | row << 16.
// Instrument syncs fire on every note the instrument strikes (FT2 rules: a note on tick 0, or
// on tick x of a note delay EDx, not under a tone portamento; a cell without an instrument
// uses the channel's last one). Notes count as the XM pattern stores them, 1 = C-0. Their
// callback data: note | channel << 16 (channels from 0).

// BASSMOD_MusicIsActive results.
constexpr uint32_t ACTIVE_STOPPED = 0;
constexpr uint32_t ACTIVE_PLAYING = 1;
constexpr uint32_t ACTIVE_PAUSED = 3;

// Load flags and devices.
constexpr uint32_t MUSIC_LOOP = 4;     // loop back to the restart position at the end
constexpr int32_t DEVICE_DEFAULT = -1; // the default output
constexpr int32_t DEVICE_NONE = 0;     // no output: the caller decodes (BASSMOD_MusicDecode)
constexpr uint32_t OUTPUT_RATE = 44100;

// Error codes returned by BASSMOD_ErrorGetCode.
enum : int32_t {
    PLAYER_OK = 0,
    PLAYER_ERROR_MEM = 1,
    PLAYER_ERROR_FILEOPEN = 2,
    PLAYER_ERROR_DRIVER = 3,
    PLAYER_ERROR_HANDLE = 5,
    PLAYER_ERROR_FORMAT = 6,
    PLAYER_ERROR_POSITION = 7,
    PLAYER_ERROR_INIT = 8,
    PLAYER_ERROR_ALREADY = 14,
    PLAYER_ERROR_NOTPAUSED = 16,
    PLAYER_ERROR_ILLTYPE = 19,
    PLAYER_ERROR_ILLPARAM = 20,
    PLAYER_ERROR_DEVICE = 23,
    PLAYER_ERROR_NOPLAY = 24,
    PLAYER_ERROR_NOMUSIC = 28,
    PLAYER_ERROR_NOSYNC = 30,
    PLAYER_ERROR_UNKNOWN = -1,
};

// Called on the player's thread (or, with DEVICE_NONE, inside BASSMOD_MusicDecode) when a
// sync point is heard. It may call back into the player (remove itself, register syncs, play,
// pause); the player holds no lock while it runs.
typedef void(PLAYER_CALL *SyncProc)(uint32_t sync, uint32_t data, uint32_t user);

extern "C" {
typedef int32_t(PLAYER_CALL *BASSMOD_ErrorGetCode_t)();
typedef void(PLAYER_CALL *BASSMOD_Free_t)();
typedef uint32_t(PLAYER_CALL *BASSMOD_GetCPU_t)();
typedef const char *(PLAYER_CALL *BASSMOD_GetDeviceDescription_t)(int32_t device);
typedef uint32_t(PLAYER_CALL *BASSMOD_GetVersion_t)();
typedef int32_t(PLAYER_CALL *BASSMOD_GetVolume_t)();
typedef int32_t(PLAYER_CALL *BASSMOD_Init_t)(int32_t device, uint32_t freq, uint32_t flags);
typedef void(PLAYER_CALL *BASSMOD_MusicFree_t)();
typedef uint32_t(PLAYER_CALL *BASSMOD_MusicGetLength_t)(int32_t playlen);
typedef const char *(PLAYER_CALL *BASSMOD_MusicGetName_t)();
typedef uint32_t(PLAYER_CALL *BASSMOD_MusicGetPosition_t)();
typedef uint32_t(PLAYER_CALL *BASSMOD_MusicIsActive_t)();
typedef int32_t(PLAYER_CALL *BASSMOD_MusicLoad_t)(int32_t mem, const void *file, uint32_t offset,
                                                  uint32_t length, uint32_t flags);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicPause_t)();
typedef int32_t(PLAYER_CALL *BASSMOD_MusicPlay_t)();
typedef int32_t(PLAYER_CALL *BASSMOD_MusicPlayEx_t)(uint32_t pos, int32_t flags, int32_t reset);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicRemoveSync_t)(uint32_t sync);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicSetAmplify_t)(uint32_t amp);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicSetPanSep_t)(uint32_t pan);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicSetPosition_t)(uint32_t pos);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicSetPositionScaler_t)(uint32_t scale);
typedef uint32_t(PLAYER_CALL *BASSMOD_MusicSetSync_t)(uint32_t type, uint32_t param, SyncProc proc,
                                                      uint32_t user);
typedef int32_t(PLAYER_CALL *BASSMOD_MusicStop_t)();
typedef int32_t(PLAYER_CALL *BASSMOD_SetVolume_t)(uint32_t volume);
// Offline decoding (device DEVICE_NONE): renders `frames` stereo 16-bit frames at the
// init rate into `buffer` (null: decoded and dropped), firing the syncs on the caller's thread
// at their exact sample positions: a callback runs when decoding reaches its event's first
// frame, the frames before it already in the buffer and the rest not yet; events in the order
// they sound. Returns the frames written; silence while paused, stopped or without music.
typedef uint32_t(PLAYER_CALL *BASSMOD_MusicDecode_t)(int16_t *buffer, uint32_t frames);
// In a sync callback: the output frame at which its event sounds. Elsewhere: the frames
// output so far. Counted from BASSMOD_Init on the output stream (frames decoded, or handed
// to the device).
typedef uint32_t(PLAYER_CALL *BASSMOD_MusicGetFrame_t)();
}
