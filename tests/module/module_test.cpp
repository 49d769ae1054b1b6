// The committed music module: the header values the show is timed by, its reproduction by the
// generator, and how it plays through libxmp.
#include "tools/xmgen/song.h"
#include "tools/xmgen/xm_writer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <xmp.h>

namespace {

constexpr int ORDERS = 14;

std::vector<uint8_t> ReadModule() {
    std::ifstream in(TOLVMARKA_MODULE_PATH, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One pass of the song through libxmp, with what the show's syncs listen for.
struct Playback {
    int loadStatus = -1;
    int peak = 0;                             // of the mix's samples
    std::map<std::pair<int, int>, int> notes; // (order, instrument) -> notes struck
};

const Playback &CommittedPlayback() {
    static const Playback p = [] {
        Playback p;
        std::vector<uint8_t> bytes = ReadModule();
        xmp_context context = xmp_create_context();
        p.loadStatus = xmp_load_module_from_memory(context, bytes.data(), long(bytes.size()));
        if (p.loadStatus != 0)
            return p;
        xmp_start_player(context, 44100, 0);
        xmp_frame_info info;
        while (xmp_play_frame(context) == 0) {
            xmp_get_frame_info(context, &info);
            if (info.loop_count > 0)
                break;
            for (int c = 0; info.frame == 0 && c < info.virt_channels && c < XMP_MAX_CHANNELS;
                 ++c) { // a row's first tick strikes its notes
                const xmp_event &e = info.channel_info[c].event;
                if (e.note == 0 || e.note > XMP_MAX_KEYS || e.ins == 0)
                    continue;
                ++p.notes[{info.pos, e.ins}];
            }
            const int16_t *samples = static_cast<const int16_t *>(info.buffer);
            for (int i = 0; i < info.buffer_size / 2; i++)
                p.peak = std::max(p.peak, std::abs(int(samples[i])));
        }
        xmp_end_player(context);
        xmp_release_module(context);
        xmp_free_context(context);
        return p;
    }();
    return p;
}

TEST(Module, HeaderCarriesTheValuesTheShowIsTimedBy) {
    const std::vector<uint8_t> b = ReadModule();
    ASSERT_GT(b.size(), 336u) << TOLVMARKA_MODULE_PATH;
    const struct {
        const char *what;
        size_t at;
        uint32_t value;
    } fields[] = {{"version", 58, 0x0104}, {"orders", 64, ORDERS}, {"restart", 66, 0},
                  {"channels", 68, 14},    {"patterns", 70, 16},   {"instruments", 72, 25},
                  {"linear table", 74, 1}, {"speed", 76, 3},       {"tempo", 78, 155}};
    for (const auto &f : fields)
        EXPECT_EQ(b[f.at] | b[f.at + 1] << 8, f.value) << f.what;
    // The scenes change at orders 2, 4 and 6.
    const std::vector<uint8_t> order = {0, 1, 0, 2, 3, 4, 9, 10, 9, 10, 13, 14, 15, 14};
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 80, b.begin() + 80 + ORDERS), order);
}

TEST(Module, GeneratorReproducesTheCommittedFile) {
    const std::vector<uint8_t> committed = ReadModule();
    const std::vector<uint8_t> generated = xm::XmWrite(song::BuildSong());
    ASSERT_EQ(committed.size(), generated.size());
    const auto differ = std::mismatch(committed.begin(), committed.end(), generated.begin());
    EXPECT_EQ(differ.first, committed.end()) << "at byte " << differ.first - committed.begin();
}

// At least 1 dB below full scale (libxmp clips silently, so a mix at the top may already be
// distorting), and louder than -12 dBFS somewhere.
TEST(Module, MixStaysBelowFullScale) {
    const Playback &p = CommittedPlayback();
    ASSERT_EQ(0, p.loadStatus);
    EXPECT_LT(p.peak, 29204);
    EXPECT_GT(p.peak, 8230);
}

TEST(Module, PulseInstrumentsPlayWhereTheShowListens) {
    const Playback &p = CommittedPlayback();
    ASSERT_EQ(0, p.loadStatus);
    auto notes = [&p](int order, int instrument) {
        const auto count = p.notes.find({order, instrument});
        return count == p.notes.end() ? 0 : count->second;
    };
    // The clap pulses the object in every order. The kick, the pulse from order 6, is kept back
    // before it and drives the groove after; the wind-down keeps a half-time kick.
    for (int k = 0; k < ORDERS; ++k)
        EXPECT_GE(notes(k, song::CLAP), 4) << "order " << k;
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(notes(k, song::KICK), k < 6 ? 0 : 8) << "order " << k;
    EXPECT_GT(notes(10, song::KICK), 0);
}

} // namespace
