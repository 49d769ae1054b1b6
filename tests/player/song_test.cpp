// The show's module decoded offline with the show's sync points, checked against libxmp's own
// rendering of it: the scene cues land once on the exact first frame of their orders, and the
// pulse follows every note of instrument 6, and of instrument 2 once order 6 has begun.
#include "tests/player/player_fixture.h"

#include <xmp.h>

#include <fstream>
#include <iterator>

namespace {

constexpr uint16_t PULSE_INSTRUMENT = 6, LATE_PULSE_INSTRUMENT = 2;
constexpr uint16_t CUE_ORDERS[] = {2, 4, 6}; // user values 1, 2, 3
constexpr uint32_t USER_LAST_CUE = 3, USER_PULSE = 4;
constexpr int ROWS_PER_ORDER = 64, TICKS_PER_ROW = 3;
constexpr uint32_t CHUNK_FRAMES = 4099; // odd-sized, so ticks split across decode calls
constexpr uint8_t FIRST_KEY = 1, LAST_KEY = XMP_MAX_KEYS - 1;
constexpr uint8_t KEY_OFFSET = 12; // libxmp's key for the XM's note 1

std::vector<uint8_t> ReadSong() {
    std::ifstream file(SONG_MODULE_FILE, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The show's callback: the order-6 cue swaps itself for an instrument-2 pulse.
void ShowCallback(uint32_t sync, uint32_t data, uint32_t user) {
    RecordSync(sync, data, user);
    if (user == USER_LAST_CUE) {
        Recording->MusicRemoveSync(sync);
        Recording->MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(LATE_PULSE_INSTRUMENT, 0xFFFF),
                                ShowCallback, USER_PULSE);
    }
}

struct ReferenceTick {
    int order, row, tick;
    uint32_t frame;
};

// Two passes of the song through libxmp alone: every tick with its first frame, every note
// as a record the show's syncs should give, and the first pass's sound.
struct Reference {
    std::vector<ReferenceTick> ticks;
    std::vector<SyncRecord> records; // sync handles left 0
    std::vector<int16_t> firstPass;
};

// The notes of a row, with the song's effects: it has no note delay and no tone portamento
// (checked here), so every note strikes on the row's first tick.
void AddRowNotes(const xmp_module &module, const xmp_frame_info &info, uint32_t frame,
                 bool latePulse, std::vector<uint8_t> &lastInstrument,
                 std::vector<SyncRecord> &records) {
    const xmp_pattern &pattern = *module.xxp[info.pattern];
    for (int channel = 0; channel < module.chn; ++channel) {
        const xmp_event &cell = module.xxt[pattern.index[channel]]->event[info.row];
        EXPECT_NE(cell.fxt, 0x03);
        EXPECT_NE(cell.fxt, 0x05);
        EXPECT_NE(cell.f2t, 0x03);
        EXPECT_FALSE(cell.fxt == 0x0E && cell.fxp >> 4 == 0x0D);
        if (cell.ins != 0)
            lastInstrument[channel] = cell.ins;
        if (cell.note < FIRST_KEY || cell.note > LAST_KEY)
            continue;
        const uint8_t instrument = cell.ins != 0 ? cell.ins : lastInstrument[channel];
        if (instrument == PULSE_INSTRUMENT || (latePulse && instrument == LATE_PULSE_INSTRUMENT))
            records.push_back(
                {0, uint32_t(cell.note - KEY_OFFSET) | uint32_t(channel) << 16, USER_PULSE, frame});
    }
}

Reference RenderReference(const std::vector<uint8_t> &song) {
    Reference reference;
    xmp_context context = xmp_create_context();
    EXPECT_EQ(xmp_load_module_from_memory(context, song.data(), long(song.size())), 0);
    xmp_start_player(context, TEST_RATE, 0);
    xmp_set_player(context, XMP_PLAYER_MIX, 100); // the player's default separation
    xmp_module_info moduleInfo;
    xmp_get_module_info(context, &moduleInfo);
    std::vector<uint8_t> lastInstrument(size_t(moduleInfo.mod->chn), 0);
    bool latePulse = false;
    uint32_t frame = 0;
    xmp_frame_info info;
    while (xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        if (info.loop_count == 2)
            break;
        reference.ticks.push_back({info.pos, info.row, info.frame, frame});
        if (info.frame == 0) {
            for (uint32_t i = 0; i < 3; ++i)
                if (info.loop_count == 0 && info.pos == CUE_ORDERS[i] && info.row == 0)
                    reference.records.push_back({0, Position(CUE_ORDERS[i], 0), i + 1, frame});
            latePulse = latePulse || (info.pos == CUE_ORDERS[2] && info.row == 0);
            AddRowNotes(*moduleInfo.mod, info, frame, latePulse, lastInstrument, reference.records);
        }
        if (info.loop_count == 0) {
            const int16_t *samples = static_cast<const int16_t *>(info.buffer);
            reference.firstPass.insert(reference.firstPass.end(), samples,
                                       samples + info.buffer_size / sizeof(int16_t));
        }
        frame += uint32_t(info.buffer_size) / (2 * sizeof(int16_t));
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return reference;
}

TEST_F(PlayerTest, ShowSongCuesAndPulsesOverTwoPasses) {
    const std::vector<uint8_t> song = ReadSong();
    ASSERT_GT(song.size(), 1024u) << "the show's module is missing: " << SONG_MODULE_FILE;
    const Reference reference = RenderReference(song);
    ASSERT_FALSE(reference.ticks.empty());
    // The cue orders begin where the song's plan puts them: k x 64 rows x 3 ticks.
    for (uint16_t order : CUE_ORDERS) {
        size_t tick = 0;
        while (tick < reference.ticks.size() && reference.ticks[tick].order != order)
            ++tick;
        EXPECT_EQ(tick, size_t(order) * ROWS_PER_ORDER * TICKS_PER_ROW) << "order " << order;
    }

    // Loaded as the show loads it: from memory, length 0, flags 4.
    ASSERT_EQ(api.MusicLoad(1, song.data(), 0, 0, MUSIC_LOOP), 1) << api.ErrorGetCode();
    EXPECT_EQ(api.MusicGetLength(0), 14u);
    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_NE(
            api.MusicSetSync(SYNC_POSITION_ONCE, Position(CUE_ORDERS[i], 0), ShowCallback, i + 1),
            0u);
    ASSERT_NE(api.MusicSetSync(SYNC_INSTRUMENT, InstrumentParam(PULSE_INSTRUMENT, 0xFFFF),
                               ShowCallback, USER_PULSE),
              0u);
    ASSERT_EQ(api.MusicPlay(), 1);
    const uint32_t total = reference.ticks.back().frame + 1;
    std::vector<int16_t> heard;
    heard.reserve(reference.firstPass.size());
    std::vector<int16_t> chunk(2 * CHUNK_FRAMES);
    for (uint32_t done = 0; done < total; done += CHUNK_FRAMES) {
        ASSERT_EQ(api.MusicDecode(chunk.data(), CHUNK_FRAMES), CHUNK_FRAMES);
        heard.insert(heard.end(), chunk.begin(), chunk.end());
    }
    heard.resize(reference.firstPass.size());
    EXPECT_TRUE(heard == reference.firstPass) << "the first pass differs from libxmp's sound";

    std::vector<SyncRecord> records = Recorded();
    for (SyncRecord &record : records)
        record.sync = 0; // handles are the player's business
    EXPECT_EQ(records, reference.records);
    uint32_t lastCue = 0;
    for (const SyncRecord &record : reference.records)
        if (record.user == USER_LAST_CUE)
            lastCue = record.frame;
    size_t pulses = 0, latePulses = 0;
    for (const SyncRecord &record : reference.records)
        if (record.user == USER_PULSE)
            ++(record.frame < lastCue ? pulses : latePulses);
    EXPECT_GT(pulses, 0u) << "instrument 6 should pulse before order 6";
    EXPECT_GT(latePulses, pulses) << "instrument 2 joins after order 6";
}

} // namespace
