// The committed music module: the header values the show is timed by, its reproduction by the
// generator, and how it plays through libxmp; the writer's files read back through libxmp, and
// the modules it refuses.
#include "tools/xmgen/song.h"
#include "tools/xmgen/xm_writer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <stdexcept>
#include <xmp.h>

namespace {

constexpr int ORDERS = 14;

std::vector<uint8_t> ReadModule() {
    std::ifstream in(TOLVMARKA_MODULE_PATH, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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

// One pass of the song through libxmp. Its mix stays at least 1 dB below full scale (libxmp
// clips silently, so a mix at the top may already be distorting) and louder than -12 dBFS
// somewhere; the instruments the show listens for strike where it listens.
TEST(Module, PlaysBelowFullScaleWithThePulsesWhereTheShowListens) {
    std::vector<uint8_t> bytes = ReadModule();
    xmp_context context = xmp_create_context();
    ASSERT_EQ(0, xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())));
    xmp_start_player(context, 44100, 0);
    int peak = 0;
    std::map<std::pair<int, int>, int> notes; // (order, instrument) -> notes struck
    xmp_frame_info info;
    while (xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        if (info.loop_count > 0)
            break;
        for (int c = 0; info.frame == 0 && c < info.virt_channels && c < XMP_MAX_CHANNELS;
             ++c) { // a row's first tick strikes its notes
            const xmp_event &e = info.channel_info[c].event;
            if (e.note != 0 && e.note <= XMP_MAX_KEYS && e.ins != 0)
                ++notes[{info.pos, e.ins}];
        }
        const int16_t *samples = static_cast<const int16_t *>(info.buffer);
        for (int i = 0; i < info.buffer_size / 2; i++)
            peak = std::max(peak, std::abs(int(samples[i])));
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    EXPECT_LT(peak, 29204);
    EXPECT_GT(peak, 8230);
    // The clap pulses the object in every order. The kick, the pulse from order 6, is kept back
    // before it and drives the groove after; the wind-down keeps a half-time kick.
    for (int k = 0; k < ORDERS; ++k)
        EXPECT_GE((notes[{k, song::CLAP}]), 4) << "order " << k;
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ((notes[{k, song::KICK}]), k < 6 ? 0 : 8) << "order " << k;
    EXPECT_GT((notes[{10, song::KICK}]), 0);
}

// Two channels, two patterns of 4 rows; a looped 16-bit instrument, one without samples and a
// ping-pong 8-bit one, the three kinds of instrument header one after the other.
xm::Module TinyModule() {
    xm::Module m;
    m.channels = 2;
    m.restart = 1;
    m.order = {1, 0, 1};
    m.patterns = {xm::EmptyPattern(4, 2), xm::EmptyPattern(4, 2)};
    m.patterns[0].At(0, 0) = {xm::XmNote(4, 0), 1, 0x40, 0x0C, 0x20}; // every field: raw form
    m.patterns[1].At(2, 1) = {0, 0, 0, 0x0F, 0x06};

    xm::Instrument lead, silent, hit;
    lead.samples = {
        {"saw", std::vector<int16_t>(64, 1000), true, xm::Loop::Forward, 16, 32, 48, -20, 200, 12}};
    lead.volumeEnvelope = {{{0, 64}, {10, 32}, {40, 0}}, true, 1, -1, -1};
    lead.panningEnvelope = {{{0, 0}, {8, 64}}, true, -1, 0, 1};
    hit.samples = {
        {"click", {0, 0x7F00, -0x8000, 0x1200, -0x0100}, false, xm::Loop::PingPong, 1, 3}};
    m.instruments = {lead, silent, hit};
    return m;
}

// What the committed module does not use; the rest its byte-exact regeneration pins.
TEST(XmWriter, LibxmpReadsBackWhatTheSongLeavesOut) {
    const std::vector<uint8_t> bytes = xm::XmWrite(TinyModule());
    xmp_context context = xmp_create_context();
    ASSERT_EQ(0, xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())));
    xmp_module_info info;
    xmp_get_module_info(context, &info);
    const xmp_module *m = info.mod;
    auto event = [m](int pattern, int channel, int row) {
        return m->xxt[m->xxp[pattern]->index[channel]]->event[row];
    };
    const xmp_instrument &lead = m->xxi[0];
    ASSERT_EQ(3, m->ins);
    ASSERT_EQ(1, m->xxi[2].nsm);
    const xmp_event full = event(0, 0, 0);
    const struct {
        const char *what;
        int actual, expected;
    } fields[] = {
        {"restart", m->rst, 1},
        // libxmp counts notes from C-0 of its own octave numbering, 12 above the file's.
        {"raw cell's note", full.note, 49 + 12},
        {"raw cell's volume", full.vol, 0x40 - 0x10 + 1}, // libxmp keeps volume + 1
        {"raw cell's effect", full.fxt, 0x0C},
        {"raw cell's parameter", full.fxp, 0x20},
        {"effect only", event(1, 1, 2).fxt, 0x0F},
        {"empty instrument's samples", m->xxi[1].nsm, 0},
        {"panning loop", lead.pei.flg, XMP_ENVELOPE_ON | XMP_ENVELOPE_LOOP},
        {"panning loop end", lead.pei.lpe, 1},
    };
    for (const auto &f : fields)
        EXPECT_EQ(f.actual, f.expected) << f.what;

    const xmp_sample &click = m->xxs[m->xxi[2].sub[0].sid];
    EXPECT_EQ(XMP_SAMPLE_LOOP | XMP_SAMPLE_LOOP_BIDIR, click.flg & 0x07);
    ASSERT_EQ(4, click.lpe);
    const int8_t *pcm8 = reinterpret_cast<const int8_t *>(click.data);
    EXPECT_EQ(std::vector<int8_t>({0, 0x7F, -0x80, 0x12}), std::vector<int8_t>(pcm8, pcm8 + 4));
    xmp_release_module(context);
    xmp_free_context(context);
}

TEST(XmWriter, RejectsModulesTheFormatCannotHold) {
    int line = 0;
    auto rejects = [&line](void (*breakIt)(xm::Module &)) {
        xm::Module m = TinyModule();
        breakIt(m);
        EXPECT_THROW(xm::XmWrite(m), std::invalid_argument) << "case " << ++line;
    };
    rejects([](xm::Module &m) { m.order.push_back(2); });
    rejects([](xm::Module &m) { m.order.clear(); });
    rejects([](xm::Module &m) { m.restart = 3; });
    rejects([](xm::Module &m) { m.channels = 33; });
    rejects([](xm::Module &m) { m.patterns[1] = xm::EmptyPattern(4, 3); });
    rejects([](xm::Module &m) { m.patterns[1].cells.pop_back(); });
    rejects([](xm::Module &m) { m.patterns[0].At(0, 0).instrument = 4; });
    rejects([](xm::Module &m) { m.patterns[0].At(0, 0).note = 98; });
    rejects([](xm::Module &m) { m.name = "name of 21 characters"; });
    rejects([](xm::Module &m) { m.instruments[0].samples[0].loopLength = 49; });
    rejects([](xm::Module &m) { m.instruments[0].samples[0].loopLength = 0; });
    rejects([](xm::Module &m) { m.instruments[0].volumeEnvelope.points[1][0] = 0; });
    rejects([](xm::Module &m) { m.instruments[0].volumeEnvelope.points[1][1] = 65; });
    rejects([](xm::Module &m) { m.instruments[0].volumeEnvelope.sustain = 3; });
    rejects([](xm::Module &m) { m.instruments[0].panningEnvelope.loopEnd = -1; });
    rejects([](xm::Module &m) { m.instruments[0].noteToSample[10] = 1; });
    // The limits themselves are accepted.
    xm::Module m = TinyModule();
    m.name = "twenty characters ok";
    m.instruments[0].samples[0].loopLength = 48;
    EXPECT_NO_THROW(xm::XmWrite(m));
}

} // namespace
