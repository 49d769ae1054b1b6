// The built player library loaded as the show loads it, its callbacks recorded, small modules.
#pragma once
#include "music/player_api.h"
#include "tests/player/player_exports.h"
#include "tools/xmgen/xm_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct PlayerApi {
    void *library = nullptr;
#define PLAYER_MEMBER(name) BASSMOD_##name##_t name;
    PLAYER_EXPORTS(PLAYER_MEMBER)
#undef PLAYER_MEMBER
};

// Opens the library, resolves every export, records its callbacks and starts it on `device`:
// an empty string on success, else the reason.
std::string StartPlayer(PlayerApi *api, int32_t device);
void ClosePlayer(PlayerApi *api);

// One callback as heard: user value, data, and its event's output frame.
struct SyncRecord {
    uint32_t user, data, frame;
    bool operator==(const SyncRecord &other) const {
        return user == other.user && data == other.data && frame == other.frame;
    }
};
inline void PrintTo(const SyncRecord &record, std::ostream *out) {
    *out << "{user " << record.user << ", data 0x" << std::hex << record.data << std::dec
         << ", frame " << record.frame << "}";
}

// 44100 Hz at 125 BPM: a tick lasts 2.5 s / 125, exactly 882 frames.
constexpr uint32_t TICK_FRAMES = 882;
constexpr uint32_t TEST_RATE = 44100;
constexpr uint8_t C4 = xm::XmNote(4, 0);

inline uint32_t Position(uint16_t order, uint16_t row) {
    return order | uint32_t(row) << 16;
}
inline uint32_t InstrumentParam(uint16_t instrument, uint16_t note = SYNC_ANY_NOTE) {
    return instrument | uint32_t(note) << 16;
}
// What the instrument sync of `user` reports for `note` struck on `channel` at `tick`.
inline SyncRecord NoteAt(uint32_t user, uint8_t note, uint16_t channel, uint32_t tick) {
    return {user, note | uint32_t(channel) << 16, tick * TICK_FRAMES};
}

// Records thread-safely, with the frame from Recording's BASSMOD_MusicGetFrame.
extern PlayerApi *Recording;
void RecordSync(uint32_t sync, uint32_t data, uint32_t user);
std::vector<SyncRecord> Recorded();
void ClearRecorded();

// Whether the stereo frames [from, to) of `out` are all zero.
bool Silent(const std::vector<int16_t> &out, uint32_t from = 0, uint32_t to = UINT32_MAX);

// `patterns` empty patterns of `rows` rows, played in that order, and `instruments`
// instruments, each a looped square wave of its own pitch so that they sound apart.
xm::Module TestModule(int channels, int patterns, int rows, int speed, int instruments);

// A player on DEVICE_NONE: everything decoded on the test's thread.
struct PlayerTest : ::testing::Test {
    void SetUp() override { ASSERT_EQ(StartPlayer(&api, DEVICE_NONE), ""); }
    void TearDown() override {
        if (api.library != nullptr)
            api.Free();
        ClosePlayer(&api);
    }
    // Loads the module from memory with length 0 (its own size); the bytes stay alive.
    void Load(const xm::Module &module, uint32_t flags = 0) {
        moduleBytes = xm::XmWrite(module);
        ASSERT_EQ(api.MusicLoad(1, moduleBytes.data(), 0, 0, flags), 1) << api.ErrorGetCode();
    }
    void Sync(uint32_t type, uint32_t param, uint32_t user, SyncProc proc = RecordSync) {
        EXPECT_NE(api.MusicSetSync(type, param, proc, user), 0u)
            << "sync refused: " << api.ErrorGetCode();
    }
    std::vector<int16_t> Decode(uint32_t frames) {
        std::vector<int16_t> out(size_t(frames) * 2, 0x5555); // a pattern Decode must overwrite
        EXPECT_EQ(api.MusicDecode(out.data(), frames), frames);
        return out;
    }

    PlayerApi api;
    std::vector<uint8_t> moduleBytes;
};
