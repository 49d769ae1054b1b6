#include "tests/player/player_fixture.h"

#include <dlfcn.h>

#include <mutex>

PlayerApi *Recording;

namespace {

std::mutex RecordLock;
std::vector<SyncRecord> Records;

template <typename T>
bool Resolve(void *library, const char *name, T *function, std::string *missing) {
    *function = reinterpret_cast<T>(dlsym(library, name));
    if (*function == nullptr)
        *missing += std::string(" ") + name;
    return *function != nullptr;
}

} // namespace

std::string OpenPlayer(PlayerApi *api) {
    api->library = dlopen(PLAYER_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    if (api->library == nullptr)
        return dlerror();
    std::string missing;
#define PLAYER_RESOLVE(name) Resolve(api->library, "BASSMOD_" #name, &api->name, &missing);
    PLAYER_EXPORTS(PLAYER_RESOLVE)
#undef PLAYER_RESOLVE
    return missing.empty() ? "" : "missing exports:" + missing;
}

void ClosePlayer(PlayerApi *api) {
    if (api->library != nullptr)
        dlclose(api->library);
    api->library = nullptr;
}

void PrintTo(const SyncRecord &record, std::ostream *out) {
    *out << "{sync " << record.sync << ", data 0x" << std::hex << record.data << std::dec
         << ", user " << record.user << ", frame " << record.frame << "}";
}

void RecordSync(uint32_t sync, uint32_t data, uint32_t user) {
    const uint32_t frame = Recording->MusicGetFrame();
    std::lock_guard<std::mutex> hold(RecordLock);
    Records.push_back({sync, data, user, frame});
}

std::vector<SyncRecord> Recorded() {
    std::lock_guard<std::mutex> hold(RecordLock);
    return Records;
}

void ClearRecorded() {
    std::lock_guard<std::mutex> hold(RecordLock);
    Records.clear();
}

std::vector<SyncRecord> RecordedFor(uint32_t user) {
    std::vector<SyncRecord> result;
    for (const SyncRecord &record : Recorded())
        if (record.user == user)
            result.push_back(record);
    return result;
}

xm::Module TestModule(int channels, int patterns, int rows, int speed, int instruments) {
    xm::Module module;
    module.name = "player test";
    module.channels = channels;
    module.tempo = speed;
    module.bpm = 125;
    for (int i = 0; i < patterns; ++i) {
        module.patterns.push_back(xm::EmptyPattern(rows, channels));
        module.order.push_back(uint8_t(i));
    }
    for (int i = 0; i < instruments; ++i) {
        xm::Instrument instrument;
        instrument.name = "square " + std::to_string(i + 1);
        xm::Sample square;
        const int period = 16 + 8 * i;
        for (int s = 0; s < period; ++s)
            square.data.push_back(int16_t(s < period / 2 ? 12000 : -12000));
        square.loop = xm::Loop::Forward;
        square.loopLength = uint32_t(period);
        instrument.samples = {square};
        module.instruments.push_back(instrument);
    }
    return module;
}

uint32_t Position(uint16_t order, uint16_t row) {
    return uint32_t(order) | uint32_t(row) << 16;
}

uint32_t InstrumentParam(uint16_t instrument, uint16_t note) {
    return uint32_t(instrument) | uint32_t(note) << 16;
}

void PlayerTest::SetUp() {
    const std::string problem = OpenPlayer(&api);
    ASSERT_EQ(problem, "");
    Recording = &api;
    ClearRecorded();
    ASSERT_EQ(api.Init(DEVICE_NONE, TEST_RATE, 0), 1);
}

void PlayerTest::TearDown() {
    if (api.library != nullptr)
        api.Free();
    ClosePlayer(&api);
}

void PlayerTest::Load(const xm::Module &module, uint32_t flags) {
    moduleBytes = xm::XmWrite(module);
    ASSERT_EQ(api.MusicLoad(1, moduleBytes.data(), 0, 0, flags), 1) << api.ErrorGetCode();
}

std::vector<int16_t> PlayerTest::Decode(uint32_t frames) {
    std::vector<int16_t> out(size_t(frames) * 2, 0x5555); // a pattern Decode must overwrite
    EXPECT_EQ(api.MusicDecode(out.data(), frames), frames);
    return out;
}
