// Loads the built player library the way the show does (dlopen, every export by name) and
// records the sync callbacks it makes; builds the small modules the tests play.
#pragma once
#include "music/player_api.h"
#include "tools/xmgen/xm_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Kept by hand: the formatter does not settle on a layout for this list.
// clang-format off
#define PLAYER_EXPORTS(X) \
    X(ErrorGetCode) X(Free) X(GetCPU) X(GetDeviceDescription) X(GetVersion) X(GetVolume) \
    X(Init) X(MusicFree) X(MusicGetLength) X(MusicGetName) X(MusicGetPosition) \
    X(MusicIsActive) X(MusicLoad) X(MusicPause) X(MusicPlay) X(MusicPlayEx) \
    X(MusicRemoveSync) X(MusicSetAmplify) X(MusicSetPanSep) X(MusicSetPosition) \
    X(MusicSetPositionScaler) X(MusicSetSync) X(MusicStop) X(SetVolume) X(MusicDecode) \
    X(MusicGetFrame)
// clang-format on

struct PlayerApi {
    void *library = nullptr;
#define PLAYER_MEMBER(name) BASSMOD_##name##_t name;
    PLAYER_EXPORTS(PLAYER_MEMBER)
#undef PLAYER_MEMBER
};

// Opens the library and resolves every export; an empty string on success, else the reason.
std::string OpenPlayer(PlayerApi *api);
void ClosePlayer(PlayerApi *api);

// One sync callback as heard: handle, data, user value, and the event's output frame.
struct SyncRecord {
    uint32_t sync, data, user, frame;
    bool operator==(const SyncRecord &other) const {
        return sync == other.sync && data == other.data && user == other.user &&
               frame == other.frame;
    }
};
void PrintTo(const SyncRecord &record, std::ostream *out);

// RecordSync appends to the record (thread-safe); the frame comes from Recording's
// BASSMOD_MusicGetFrame, so set Recording before any callback can come.
extern PlayerApi *Recording;
void RecordSync(uint32_t sync, uint32_t data, uint32_t user);
std::vector<SyncRecord> Recorded();
void ClearRecorded();
// Only the records with this user value.
std::vector<SyncRecord> RecordedFor(uint32_t user);

// 44100 Hz at 125 BPM: a tick lasts 2.5 s / 125, exactly 882 frames.
constexpr uint32_t TICK_FRAMES = 882;
constexpr uint32_t TEST_RATE = 44100;

// `patterns` empty patterns of `rows` rows, played in that order, and `instruments`
// instruments, each a looped square wave of its own pitch so that they sound apart.
xm::Module TestModule(int channels, int patterns, int rows, int speed, int instruments);
uint32_t Position(uint16_t order, uint16_t row);
uint32_t InstrumentParam(uint16_t instrument, uint16_t note);

// A player opened with DEVICE_NONE: everything decoded on the test's thread.
class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Loads the module from memory with length 0 (its own size); the bytes stay alive.
    void Load(const xm::Module &module, uint32_t flags = 0);
    // Decodes `frames` frames and returns them.
    std::vector<int16_t> Decode(uint32_t frames);

    PlayerApi api;
    std::vector<uint8_t> moduleBytes;
};
