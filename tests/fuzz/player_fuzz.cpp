// Fuzz target: the player library's module load from memory, its decoding and the sync
// scanning, with callbacks that call back into the player the way the show's does.
//
// Input: an 8-byte control block, then the module bytes.
//   0: load flags (bit 0: loop)        1: blocks of audio to decode (1 to 32)
//   2: order to seek to (0xFF: none)   3: row to seek to
//   4, 5: instruments of two instrument syncs (one of them is 6, the show's)
//   6, 7: what the callback does on a position sync / on a note (see CallbackAction)
#include "music/player_api.h"
#include "tests/player/player_exports.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <type_traits>

// The player's sources are built in: their exports are declared from the API's pointer types.
#define DECLARE_EXPORT(name) extern "C" std::remove_pointer_t<BASSMOD_##name##_t> BASSMOD_##name;
PLAYER_EXPORTS(DECLARE_EXPORT)

namespace {

constexpr size_t CONTROL_SIZE = 8;
constexpr uint32_t BLOCK_FRAMES = 1024;
constexpr uint32_t MAX_BLOCKS = 32;
constexpr uint8_t NO_SEEK = 0xFF;
constexpr uint32_t SHOW_INSTRUMENT = 6;
constexpr uint32_t MAX_CALLBACK_CALLS = 64; // bounds the syncs a callback registers
constexpr uint32_t FIRST_NOTE_USER = 4;     // user values: 1 to 3 position syncs, then notes

enum CallbackAction : uint8_t {
    ACTION_NONE,
    ACTION_REPLACE, // remove this sync, register an instrument sync (the show's order 6)
    ACTION_SEEK,    // jump back to the start
    ACTION_PAUSE,   // pause and play again
    ACTION_STOP,    // stop: the decode goes on in silence
    ACTION_QUERY,   // read the position
    ACTION_COUNT,
};

uint8_t PositionAction, NoteAction, ReplaceInstrument;
uint32_t CallbackCalls;
int16_t Pcm[BLOCK_FRAMES * 2];

void OnSync(uint32_t sync, uint32_t, uint32_t user) {
    if (++CallbackCalls > MAX_CALLBACK_CALLS)
        return;
    switch ((user < FIRST_NOTE_USER ? PositionAction : NoteAction) % ACTION_COUNT) {
    case ACTION_REPLACE:
        BASSMOD_MusicRemoveSync(sync);
        BASSMOD_MusicSetSync(SYNC_INSTRUMENT, ReplaceInstrument | SYNC_ANY_NOTE << 16, OnSync,
                             FIRST_NOTE_USER);
        break;
    case ACTION_SEEK:
        BASSMOD_MusicSetPosition(0);
        break;
    case ACTION_PAUSE:
        BASSMOD_MusicPause();
        BASSMOD_MusicPlay();
        break;
    case ACTION_STOP:
        BASSMOD_MusicStop();
        break;
    case ACTION_QUERY:
        BASSMOD_MusicGetPosition();
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const int32_t initialised = BASSMOD_Init(DEVICE_NONE, OUTPUT_RATE, 0);
    if (!initialised)
        abort(); // the decoding player needs no device: this cannot fail
    if (size <= CONTROL_SIZE)
        return 0;
    const uint8_t *control = data;
    const uint8_t *module = data + CONTROL_SIZE;
    const uint32_t moduleSize = uint32_t(size - CONTROL_SIZE);
    const uint32_t flags = (control[0] & 1) ? MUSIC_LOOP : 0;
    if (!BASSMOD_MusicLoad(1, module, 0, moduleSize, flags))
        return 0;
    PositionAction = control[6];
    NoteAction = control[7];
    ReplaceInstrument = uint8_t(control[5] ^ control[4]);
    CallbackCalls = 0;
    for (uint32_t order : {2u, 4u, 6u})
        BASSMOD_MusicSetSync(SYNC_POSITION_ONCE, order, OnSync, order / 2);
    BASSMOD_MusicSetSync(SYNC_INSTRUMENT, SHOW_INSTRUMENT | SYNC_ANY_NOTE << 16, OnSync, 4);
    BASSMOD_MusicSetSync(SYNC_INSTRUMENT, control[4] | SYNC_ANY_NOTE << 16, OnSync, 5);
    BASSMOD_MusicSetSync(SYNC_INSTRUMENT, control[5] | uint32_t(control[3]) << 16, OnSync, 6);
    BASSMOD_MusicGetName();
    BASSMOD_MusicGetLength(0);
    BASSMOD_MusicGetLength(1);
    BASSMOD_MusicPlay();
    if (control[2] != NO_SEEK)
        BASSMOD_MusicSetPosition(control[2] | uint32_t(control[3]) << 16);
    const uint32_t blocks = 1 + control[1] % MAX_BLOCKS;
    for (uint32_t i = 0; i < blocks; ++i) {
        // Every other block is decoded and dropped, the way a caller skips ahead.
        BASSMOD_MusicDecode(i % 2 ? nullptr : Pcm, BLOCK_FRAMES);
        BASSMOD_MusicGetPosition();
    }
    BASSMOD_MusicFree();
    return 0;
}
