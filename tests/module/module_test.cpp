// The committed music module: its header as the show's timing expects it, its reproduction by
// the generator, and how it plays through libxmp.
#include "tools/xmgen/song.h"
#include "tools/xmgen/xm_writer.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr double TICK_SECONDS = 2.5 / 155.0;
constexpr int ORDER_LENGTH = 14;
const std::vector<int> ORDER = {0, 1, 0, 2, 3, 4, 9, 10, 9, 10, 13, 14, 15, 14};

std::vector<uint8_t> ReadModule() {
    std::ifstream in(TOLVMARKA_MODULE_PATH, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Read16(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | (b[at + 1] << 8);
}
uint32_t Read32(const std::vector<uint8_t> &b, size_t at) {
    return Read16(b, at) | (Read16(b, at + 2) << 16);
}

// One pass of the song through libxmp, tick by tick, with what the show's syncs look at.
struct Playback {
    std::vector<int16_t> pcm;                     // interleaved stereo
    std::map<int, std::map<int, int>> noteCounts; // order -> instrument -> notes struck
    std::map<int, double> firstNoteSeconds;       // instrument -> time of its first note
    int loadStatus = -1;
};

Playback Play(std::vector<uint8_t> bytes) {
    Playback p;
    xmp_context context = xmp_create_context();
    p.loadStatus = xmp_load_module_from_memory(context, bytes.data(), long(bytes.size()));
    if (p.loadStatus != 0) {
        xmp_free_context(context);
        return p;
    }
    xmp_start_player(context, RATE, 0);
    xmp_frame_info info;
    while (xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        if (info.loop_count > 0)
            break;
        const size_t frame = p.pcm.size() / 2;
        if (info.frame == 0) { // the row's first tick: its notes strike now
            for (int c = 0; c < info.virt_channels && c < XMP_MAX_CHANNELS; ++c) {
                const xmp_event &e = info.channel_info[c].event;
                if (e.note == 0 || e.note > XMP_MAX_KEYS || e.ins == 0)
                    continue;
                ++p.noteCounts[info.pos][e.ins];
                p.firstNoteSeconds.emplace(e.ins, double(frame) / RATE);
            }
        }
        const int16_t *samples = static_cast<const int16_t *>(info.buffer);
        p.pcm.insert(p.pcm.end(), samples, samples + info.buffer_size / 2);
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return p;
}

int Notes(const Playback &p, int order, int instrument) {
    const auto byOrder = p.noteCounts.find(order);
    if (byOrder == p.noteCounts.end())
        return 0;
    const auto count = byOrder->second.find(instrument);
    return count == byOrder->second.end() ? 0 : count->second;
}

const Playback &CommittedPlayback() {
    static const Playback playback = Play(ReadModule());
    return playback;
}

TEST(Module, HeaderCarriesTheValuesTheShowIsTimedBy) {
    const std::vector<uint8_t> b = ReadModule();
    ASSERT_GT(b.size(), 336u) << TOLVMARKA_MODULE_PATH;
    EXPECT_EQ(0, std::memcmp(b.data(), "Extended Module: ", 17));
    EXPECT_EQ(0x1A, b[37]);
    EXPECT_EQ(0x0104u, Read16(b, 58));
    EXPECT_EQ(276u, Read32(b, 60));
    EXPECT_EQ(uint32_t(ORDER_LENGTH), Read16(b, 64));
    EXPECT_EQ(0u, Read16(b, 66));  // restart
    EXPECT_EQ(14u, Read16(b, 68)); // channels
    EXPECT_EQ(16u, Read16(b, 70)); // patterns
    EXPECT_EQ(25u, Read16(b, 72)); // instruments
    EXPECT_EQ(1u, Read16(b, 74));  // linear frequency table
    EXPECT_EQ(3u, Read16(b, 76));  // ticks per row
    EXPECT_EQ(155u, Read16(b, 78));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(i < ORDER_LENGTH ? ORDER[size_t(i)] : 0, b[size_t(80 + i)]) << "order " << i;
}

TEST(Module, GeneratorReproducesTheCommittedFile) {
    const std::vector<uint8_t> committed = ReadModule();
    const std::vector<uint8_t> generated = xm::XmWrite(song::BuildSong());
    ASSERT_EQ(committed.size(), generated.size());
    size_t firstDifference = 0;
    while (firstDifference < committed.size() &&
           committed[firstDifference] == generated[firstDifference])
        ++firstDifference;
    EXPECT_EQ(committed.size(), firstDifference) << "first differing byte";
}

TEST(Module, MixStaysBelowFullScale) {
    const Playback &p = CommittedPlayback();
    ASSERT_EQ(0, p.loadStatus);
    int peak = 0;
    for (int16_t s : p.pcm)
        peak = std::max(peak, std::abs(int(s)));
    // At least 1 dB below full scale (32767 x 10^(-1/20) = 29204): libxmp clips silently,
    // so a mix that reached the top could already be distorting.
    EXPECT_LT(peak, 29204);
    // And not so quiet that the show's sound is lost: louder than -12 dBFS somewhere.
    EXPECT_GT(peak, 8230);
}

TEST(Module, PulseInstrumentsPlayWhereTheShowListens) {
    const Playback &p = CommittedPlayback();
    ASSERT_EQ(0, p.loadStatus);
    // The clap pulses the object from the start: struck in the first bar and in every order.
    ASSERT_TRUE(p.firstNoteSeconds.count(song::CLAP));
    EXPECT_LT(p.firstNoteSeconds.at(song::CLAP), 32 * 3 * TICK_SECONDS);
    for (int k = 0; k < ORDER_LENGTH; ++k)
        EXPECT_GE(Notes(p, k, song::CLAP), 4) << "order " << k;
    // The kick drives the groove from order 6 and is kept back before it.
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(0, Notes(p, k, song::KICK)) << "order " << k;
    for (int k = 6; k < 10; ++k)
        EXPECT_EQ(8, Notes(p, k, song::KICK)) << "four to the floor in order " << k;
    EXPECT_GT(Notes(p, 10, song::KICK), 0) << "the wind-down keeps a half-time kick";
}

} // namespace
