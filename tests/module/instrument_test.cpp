// The synthesised instruments: they sound at the pitch their notes name, their samples start
// and end without clicks, and their loops have no seams. Plus the synthesis helpers that
// those properties rest on.
#include "tools/xmgen/song.h"
#include "tools/xmgen/synth.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr int RATE = 44100;

const std::vector<xm::Instrument> &Instruments() {
    static const std::vector<xm::Instrument> instruments = song::MakeInstruments();
    return instruments;
}

// One note of one instrument, rendered by libxmp in mono.
std::vector<int16_t> RenderNote(int instrument, uint8_t note, double seconds) {
    xm::Module m;
    m.channels = 1;
    m.tempo = song::TEMPO;
    m.bpm = song::BPM;
    m.order = {0};
    m.patterns = {xm::EmptyPattern(64, 1)};
    m.patterns[0].At(0, 0) = {note, uint8_t(instrument), 0, 0, 0};
    m.instruments = Instruments();
    std::vector<uint8_t> bytes = xm::XmWrite(m);

    std::vector<int16_t> pcm;
    xmp_context context = xmp_create_context();
    if (xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())) != 0) {
        xmp_free_context(context);
        return pcm;
    }
    xmp_start_player(context, RATE, XMP_FORMAT_MONO);
    xmp_frame_info info;
    while (pcm.size() < size_t(seconds * RATE) && xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        const int16_t *s = static_cast<const int16_t *>(info.buffer);
        pcm.insert(pcm.end(), s, s + info.buffer_size / 2);
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return pcm;
}

double Correlation(const std::vector<int16_t> &x, size_t from, size_t count, int lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t n = from; n < from + count; ++n) {
        const double a = x[n], b = x[n + size_t(lag)];
        xy += a * b;
        xx += a * a;
        yy += b * b;
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
}

// Fundamental from the autocorrelation peak within a fifth of the expected period, refined
// between lags by a parabola through the peak and its neighbours.
double MeasureHz(const std::vector<int16_t> &pcm, double from, double to, double expectedHz) {
    const size_t start = size_t(from * RATE), count = size_t((to - from) * RATE);
    const double period = RATE / expectedHz;
    const int low = int(period / 1.5), high = int(period * 1.5) + 1;
    if (start + count + size_t(high) + 1 > pcm.size())
        return 0.0;
    int best = low;
    for (int lag = low; lag <= high; ++lag)
        if (Correlation(pcm, start, count, lag) > Correlation(pcm, start, count, best))
            best = lag;
    const double a = Correlation(pcm, start, count, best - 1);
    const double b = Correlation(pcm, start, count, best);
    const double c = Correlation(pcm, start, count, best + 1);
    const double shift = (a - c) / (2.0 * (a - 2.0 * b + c));
    return RATE / (best + shift);
}

TEST(InstrumentPitch, NotesSoundAtTheirNamedPitch) {
    struct Case {
        int instrument;
        const char *note;
        double hz;
        double from, to; // analysis window, seconds after the note
    };
    const Case cases[] = {
        {song::BASS, "A2", 110.0, 0.3, 0.8},    {song::SUB, "A1", 55.0, 0.3, 0.8},
        {song::LEAD, "A4", 440.0, 0.3, 0.8},    {song::PAD, "A3", 220.0, 0.5, 1.0},
        {song::PLUCK, "A4", 440.0, 0.02, 0.2},  {song::CHOIR, "A3", 220.0, 0.6, 1.1},
        {song::SQUARE, "A4", 440.0, 0.3, 0.8},  {song::PIANO, "A4", 440.0, 0.5, 1.0},
        {song::STAB, "C4", 261.63, 0.25, 0.45},
    };
    for (const Case &c : cases) {
        const uint8_t note = uint8_t(xm::XmNote(c.note[1] - '0', 0) +
                                     (c.note[0] == 'A' ? 9 : 0)); // A or C of that octave
        const std::vector<int16_t> pcm = RenderNote(c.instrument, note, c.to + 0.1);
        const double hz = MeasureHz(pcm, c.from, c.to, c.hz);
        const double cents = 1200.0 * std::log2(hz / c.hz);
        // Finetune steps are 1/128 semitone (rounding costs up to 0.4 cent); the rest is the
        // estimate's own error on detuned multi-voice sounds (under 1 cent seen). A semitone
        // slip would be 100 cents.
        EXPECT_NEAR(0.0, cents, 2.0)
            << "instrument " << c.instrument << " " << c.note << ": " << hz << " Hz";
    }
}

TEST(InstrumentSamples, StartAndEndWithoutClicksAndLoopWithoutSeams) {
    const std::vector<xm::Instrument> &instruments = Instruments();
    ASSERT_EQ(size_t(song::INSTRUMENT_COUNT), instruments.size());
    for (size_t i = 0; i < instruments.size(); ++i) {
        ASSERT_EQ(1u, instruments[i].samples.size()) << "instrument " << i + 1;
        const xm::Sample &s = instruments[i].samples[0];
        const std::vector<int16_t> &d = s.data;
        ASSERT_GT(d.size(), 32u) << s.name;
        EXPECT_EQ(0, d.front()) << s.name << " starts with a step";
        if (s.loop == xm::Loop::None) {
            EXPECT_EQ(0, d.back()) << s.name << " ends with a step";
            continue;
        }
        // Jumping from the loop's last frame back to its first must be no larger a step than
        // the sound makes anywhere inside the loop.
        const size_t start = s.loopStart, end = s.loopStart + s.loopLength;
        ASSERT_LE(end, d.size()) << s.name;
        int largest = 0;
        for (size_t n = start + 1; n < end; ++n)
            largest = std::max(largest, std::abs(d[n] - d[n - 1]));
        EXPECT_LE(std::abs(d[start] - d[end - 1]), largest) << s.name << " loop seam";
        // A looped sound that ends at silence would repeat its own fade: the loop must carry
        // signal.
        EXPECT_GT(largest, 64) << s.name;
    }
}

TEST(InstrumentSamples, PeaksLeaveHeadroomAndEnvelopesReleaseSustains) {
    for (const xm::Instrument &instrument : Instruments()) {
        const xm::Sample &s = instrument.samples[0];
        int peak = 0;
        for (int16_t v : s.data)
            peak = std::max(peak, std::abs(int(v)));
        // Normalised to 0.95 of full scale at most, so the 16-bit rounding never clips.
        EXPECT_LE(peak, 31129) << s.name;
        EXPECT_GT(peak, 3276) << s.name << " is nearly silent";
        // A sustained sound needs a way to end: a sustain point with a fadeout, or a loop
        // whose envelope falls to zero.
        if (s.loop != xm::Loop::None) {
            const xm::Envelope &e = instrument.volumeEnvelope;
            ASSERT_TRUE(e.on) << s.name << " loops with no volume envelope";
            const bool fadesOut = e.sustain >= 0 && instrument.fadeout > 0;
            const bool fallsSilent = e.sustain < 0 && e.points.back()[1] == 0;
            EXPECT_TRUE(fadesOut || fallsSilent) << s.name << " can ring forever";
        }
    }
}

TEST(Synthesis, HarmonicsRepeatExactlyEveryPeriod) {
    const int period = 64;
    const synth::Wave w = synth::Harmonics(
        period * 3, period, {{3, 1.0}, {4, 0.5}}, 8, [](int h, int) { return 1.0 / h; }, 1);
    for (int n = 0; n < period * 2; ++n)
        ASSERT_EQ(w[size_t(n)], w[size_t(n + period)]) << n;
    // Partials at or above Nyquist are left out: 4 cycles a period make harmonic 8 land on
    // 32 cycles in 64 frames, so asking for 8 harmonics gives what 7 give, and 6 do not.
    auto partials = [&](int count) {
        return synth::Harmonics(
            period, period, {{4, 1.0}}, count, [](int, int) { return 1.0; }, 2);
    };
    EXPECT_EQ(partials(7), partials(8));
    EXPECT_NE(partials(6), partials(7));
}

TEST(Synthesis, TuneSplitsSemitonesIntoRelativeNoteAndFinetune) {
    xm::Sample s;
    synth::Tune(s, synth::XM_C4_RATE, synth::MIDDLE_C_HZ);
    EXPECT_EQ(0, s.relativeNote);
    EXPECT_EQ(0, s.finetune);
    synth::Tune(s, 2 * synth::XM_C4_RATE, synth::MIDDLE_C_HZ); // twice the rate: an octave
    EXPECT_EQ(12, s.relativeNote);
    EXPECT_EQ(0, s.finetune);
    synth::Tune(s, synth::XM_C4_RATE, 2 * synth::MIDDLE_C_HZ); // a tone an octave up
    EXPECT_EQ(-12, s.relativeNote);
    // 44100 Hz is 28.78 semitones above 8363 Hz: 29 semitones less 28/128.
    synth::Tune(s, 44100, synth::MIDDLE_C_HZ);
    EXPECT_EQ(29, s.relativeNote);
    EXPECT_EQ(-28, s.finetune);
    EXPECT_THROW(synth::Tune(s, 8363, 1.0), std::invalid_argument); // 96 semitones away
}

TEST(Synthesis, CrossfadedLoopEndsWhereItsStartBegins) {
    synth::Rng rng(1);
    synth::Wave w = synth::Noise(400, rng);
    const double beforeStart = w[99];
    synth::CrossfadeLoop(w, 100, 50);
    EXPECT_DOUBLE_EQ(beforeStart, w.back()); // the jump back to frame 100 continues from 99
    synth::Wave shortWave = synth::Noise(150, rng);
    EXPECT_THROW(synth::CrossfadeLoop(shortWave, 100, 50), std::invalid_argument);
    EXPECT_THROW(synth::CrossfadeLoop(shortWave, 20, 50), std::invalid_argument);
}

} // namespace
