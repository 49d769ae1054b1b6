#include "tests/player/player_fixture.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>

PlayerApi *Recording;
static std::mutex RecordLock;
static std::vector<SyncRecord> Records;

std::string StartPlayer(PlayerApi *api, int32_t device) {
    api->library = dlopen(PLAYER_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    if (api->library == nullptr)
        return dlerror();
    std::string missing;
#define PLAYER_RESOLVE(name)                                                                       \
    api->name = reinterpret_cast<BASSMOD_##name##_t>(dlsym(api->library, "BASSMOD_" #name));       \
    missing += api->name == nullptr ? " " #name : "";
    PLAYER_EXPORTS(PLAYER_RESOLVE)
#undef PLAYER_RESOLVE
    if (!missing.empty())
        return "missing exports:" + missing;
    Recording = api;
    ClearRecorded();
    return api->Init(device, TEST_RATE, 0) == 1 ? ""
                                                : "Init: " + std::to_string(api->ErrorGetCode());
}

void ClosePlayer(PlayerApi *api) {
    if (api->library != nullptr)
        dlclose(api->library);
    api->library = nullptr;
}

void RecordSync(uint32_t, uint32_t data, uint32_t user) {
    const uint32_t frame = Recording->MusicGetFrame();
    std::lock_guard<std::mutex> hold(RecordLock);
    Records.push_back({user, data, frame});
}

std::vector<SyncRecord> Recorded() {
    std::lock_guard<std::mutex> hold(RecordLock);
    return Records;
}

void ClearRecorded() {
    std::lock_guard<std::mutex> hold(RecordLock);
    Records.clear();
}

bool Silent(const std::vector<int16_t> &out, uint32_t from, uint32_t to) {
    const size_t end = std::min(out.size(), size_t(to) * 2);
    return std::all_of(out.begin() + std::min(end, size_t(from) * 2), out.begin() + end,
                       [](int16_t sample) { return sample == 0; });
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
        xm::Sample square;
        const int period = 16 + 8 * i;
        for (int s = 0; s < period; ++s)
            square.data.push_back(int16_t(s < period / 2 ? 12000 : -12000));
        square.loop = xm::Loop::Forward;
        square.loopLength = uint32_t(period);
        xm::Instrument instrument;
        instrument.samples = {square};
        module.instruments.push_back(instrument);
    }
    return module;
}
