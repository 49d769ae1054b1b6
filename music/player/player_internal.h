// Inside the player library: the music engine (libxmp, one tick at a time), the sync points,
// and the output (SDL device, silent clock, or the caller decoding). Everything below is
// guarded by PlayerLock unless it says otherwise.
#pragma once
#include "music/player_api.h"

#include <cstddef>
#include <cstdint>
#include <pthread.h>
#include <xmp.h>

constexpr int MAX_SYNCS = 256;                        // more gives PLAYER_ERROR_NOSYNC
constexpr int MAX_TICK_EVENTS = XMP_MAX_CHANNELS + 1; // one tick event, a note per channel
constexpr uint32_t EVENT_QUEUE_SIZE = 8192;           // power of two
constexpr uint32_t TICK_BUFFER_SAMPLES = 2 * XMP_MAX_FRAMESIZE; // one tick, both channels
constexpr uint32_t DEVICE_BUFFER_FRAMES = 1024;                 // ~23 ms at 44100 Hz
constexpr uint32_t DEFAULT_VOLUME = 100;
constexpr uint32_t DEFAULT_AMPLIFY = 50; // unity gain
constexpr uint32_t DEFAULT_PAN_SEPARATION = 100;
constexpr uint32_t MAX_POSITION_SCALER = 256;
constexpr uint16_t PLAYER_VERSION_MAJOR = 1;
constexpr uint16_t PLAYER_VERSION_MINOR = 0;

enum PlayState { STATE_STOPPED, STATE_PLAYING, STATE_PAUSED };

// A moment of the music that syncs may match. Tick: a = order, b = row, c = tick, d = speed.
// Note: a = instrument (from 1), b = note (1 = C-0), c = channel (from 0).
enum : uint16_t { EVENT_TICK, EVENT_NOTE };
struct SyncEvent {
    uint64_t frame;      // output frame at which it sounds
    uint32_t generation; // MusicGeneration when it was mixed
    uint16_t kind;
    uint16_t a, b, c, d;
};

struct SyncPoint {
    uint32_t handle;
    uint32_t type;
    uint16_t a, b; // position: order, row; instrument: instrument, note
    SyncProc proc;
    uint32_t user;
    bool fired; // position syncs fire once per run
};

extern pthread_mutex_t PlayerLock;
extern pthread_cond_t PlayerWake; // CLOCK_MONOTONIC; broadcast on queue, state and stop changes

// Set up.
extern bool Initialized;
extern int32_t Device; // DEVICE_NONE, or 1 for the default output
extern uint32_t Rate;

// The music.
extern xmp_context Xmp;
extern bool MusicLoaded;
extern uint32_t MusicFlags;
extern PlayState State;
extern bool MusicEnded;          // played to its end without MUSIC_LOOP: the next play starts over
extern uint32_t MusicGeneration; // changes on load, free and stop: older events are void
extern char MusicName[XMP_NAME_SIZE];
extern uint32_t Volume, Amplify, PanSeparation, PositionScaler;

// Where the listener is: the last tick dispatched.
extern uint16_t HeardOrder, HeardRow, HeardTick, HeardSpeed;

// Frames handed to the output since Init (the device's stream, or BASSMOD_MusicDecode's).
extern uint64_t StreamFrame;
extern uint32_t CpuPercent;

extern SyncPoint Syncs[MAX_SYNCS];
extern int SyncCount;

// Events mixed for a device, waiting until they are heard.
extern SyncEvent EventQueue[EVENT_QUEUE_SIZE];
extern uint32_t QueueHead, QueueCount;

// Per thread: the last call's error code, and the frame of the sync callback running on this
// thread (-1 outside callbacks).
extern thread_local int32_t LastError;
extern thread_local int64_t CallbackFrame;

// Sets LastError; returns `code == PLAYER_OK`.
bool SetError(int32_t code);

// The size of an XM module read from its own structure, or 0 when the data is not one.
size_t XmModuleSize(const uint8_t *data);

// Music engine (module_engine.cpp).
// Takes over a context holding a loaded module, replacing the music; returns an error code.
int32_t MusicInstall(xmp_context context, uint32_t flags);
void MusicClose();
// Fresh replay state at the start of the song (notes cut, speed and tempo as loaded); false
// when libxmp cannot start at the output rate.
bool MusicResetReplay();
// Back to the start for a new run: fresh replay state, position syncs armed again, events of
// the old run void.
bool MusicRewind();
// Orders in the song, and one pass's length in milliseconds.
uint32_t MusicOrderCount();
uint32_t MusicDurationMs();
// Continues from order | row << 16 at the next tick; PLAYER_ERROR_POSITION when outside.
int32_t MusicSeek(uint32_t position);
// Fills `frames` output frames (buffer may be null: decoded and dropped). With inlineSyncs the
// syncs fire on this thread when output reaches their frame; otherwise events are queued.
void RenderLocked(int16_t *buffer, uint32_t frames, bool inlineSyncs);
// Updates the heard position and calls every sync the event matches, without the lock held
// during a call. Called and returns with the lock held.
void DispatchLocked(const SyncEvent &event);
void ClearEventQueue();
// Takes the next queued event of this run that is due at `heardFrame`.
bool PopDueEvent(int64_t heardFrame, SyncEvent *event);

// Output (output.cpp). OutputOpen starts the device (or the silent clock) and the dispatcher;
// both called without the lock.
int32_t OutputOpen();
void OutputClose();
// The output frame being heard now, estimated from the clock anchored at the last pull;
// negative before the first block plays.
int64_t HeardFrameLocked();
double MonotonicSeconds();

// Shuts everything down without the lock held: threads joined, music and syncs released.
void PlayerShutdown();
