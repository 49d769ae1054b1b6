// The instrument designs. Each sample is synthesised, normalised to the level it needs in the
// mix (volume column 64 then means "normal"), tuned with relative note and finetune, and given
// click-free edges. Sustained sounds loop a stretch whose spectrum no longer changes, and
// their instruments fade them with volume envelopes.
#include "tools/xmgen/song.h"
#include "tools/xmgen/synth.h"

#include <cmath>

namespace song {

namespace {

using synth::Wave;

constexpr double EDGE_SECONDS = 0.002; // fade at the start of one-shot samples
constexpr double TAIL_SECONDS = 0.02;  // fade at their end

xm::Envelope VolumeEnvelope(std::vector<std::array<uint16_t, 2>> points, int sustain = -1) {
    xm::Envelope e;
    e.points = std::move(points);
    e.on = true;
    e.sustain = sustain;
    return e;
}

// Magnitude of a two-pole low-pass at hz.
double LowPassGain(double hz, double cutoff, double q) {
    const double r = hz / cutoff;
    return 1.0 / std::sqrt((1 - r * r) * (1 - r * r) + (r / q) * (r / q));
}

// A value that glides from `from` to `to` over `frames` and then stays exactly at `to`, so
// that the looped part of a sample sees a constant spectrum.
double Glide(int frame, int frames, double from, double to, double tau) {
    if (frame >= frames)
        return to;
    const double t = double(frame) / frames;
    const double end = std::exp(-1.0 / tau);
    return to + (from - to) * (std::exp(-t / tau) - end) / (1.0 - end);
}

// Plays once. Unpitched sounds keep the default tone, so that C-4 replays them at their own
// rate; pitched ones name the frequency they were synthesised at.
xm::Sample OneShot(const char *name, Wave wave, double rate, double level, int panning = 128,
                   double toneHz = synth::MIDDLE_C_HZ) {
    synth::FadeIn(wave, synth::Frames(EDGE_SECONDS, rate));
    synth::FadeOut(wave, synth::Frames(TAIL_SECONDS, rate));
    xm::Sample s;
    s.name = name;
    s.data = synth::ToPcm(wave, level);
    s.panning = uint8_t(panning);
    synth::Tune(s, rate, toneHz);
    return s;
}

// Loops from loopStart to the end; the frames before fade in from silence.
xm::Sample Looped(const char *name, Wave wave, double rate, double toneHz, int loopStart,
                  double level, bool sixteenBit = true) {
    synth::FadeIn(wave, loopStart < 256 ? loopStart : 256);
    xm::Sample s;
    s.name = name;
    s.data = synth::ToPcm(wave, level);
    s.sixteenBit = sixteenBit;
    s.loop = xm::Loop::Forward;
    s.loopStart = uint32_t(loopStart);
    s.loopLength = uint32_t(wave.size()) - uint32_t(loopStart);
    synth::Tune(s, rate, toneHz);
    return s;
}

xm::Instrument Instrument(const char *name, xm::Sample sample, xm::Envelope volume = {},
                          uint16_t fadeout = 0) {
    xm::Instrument i;
    i.name = name;
    i.samples = {std::move(sample)};
    i.volumeEnvelope = std::move(volume);
    i.fadeout = fadeout;
    return i;
}

// Stationary noise for cymbals: metallic squares and hiss, high-passed. Loops from loopStart
// (crossfaded), after a brighter strike that settles before the loop.
Wave CymbalNoise(int frames, double rate, int loopStart, double metalScale, double highPass,
                 uint32_t seed) {
    synth::Rng rng(seed);
    Wave w = synth::Metal(frames, rate, metalScale);
    for (double &v : w)
        v /= 6.0;
    synth::Mix(w, synth::Noise(frames, rng), 0.8);
    synth::HighPass(w, rate, highPass);
    synth::HighPass(w, rate, highPass);
    const double strikeEnd = loopStart / rate / 2.0;
    for (int n = 0; n < frames; ++n) {
        const double t = n / rate;
        if (t < strikeEnd)
            w[size_t(n)] *= 1.0 + 1.5 * (1.0 - t / strikeEnd) * (1.0 - t / strikeEnd);
    }
    synth::CrossfadeLoop(w, loopStart, loopStart / 2);
    return w;
}

xm::Instrument Bass() {
    const double rate = 22050;
    const int period = 512; // one cycle: 43.07 Hz
    const int pluck = synth::Frames(0.15, rate);
    Wave w = synth::Harmonics(
        pluck + period, period, {{1, 1.0}}, 48,
        [&](int h, int n) {
            const double cutoff = Glide(n, pluck, 2200.0, 420.0, 0.25);
            return LowPassGain(h * rate / period, cutoff, 1.6) / h;
        },
        11);
    xm::Sample s = Looped("saw bass", w, rate, rate / period, pluck, 0.62);
    return Instrument("rolling bass", s, VolumeEnvelope({{0, 64}, {3, 52}, {10, 34}, {40, 24}}, 3),
                      2400);
}

xm::Instrument Kick() {
    const double rate = 22050;
    const int frames = synth::Frames(0.42, rate);
    Wave w = synth::Sweep(frames, rate, [](double t) {
        return 46.0 + 150.0 * std::exp(-t / 0.03) + 400.0 * std::exp(-t / 0.004);
    });
    for (int n = 0; n < frames; ++n) {
        const double t = n / rate;
        w[size_t(n)] *= t < 0.03 ? 1.0 : std::exp(-(t - 0.03) / 0.16);
    }
    synth::Rng rng(2);
    Wave click = synth::Noise(synth::Frames(0.01, rate), rng);
    synth::HighPass(click, rate, 1500);
    synth::Decay(click, rate, 0.0015);
    synth::Mix(w, click, 0.5);
    synth::Saturate(w, 1.8);
    return Instrument("kick", OneShot("kick", w, rate, 0.8));
}

Wave HatNoise(int frames, double rate, double tau, uint32_t seed) {
    synth::Rng rng(seed);
    Wave w = synth::Metal(frames, rate, 1.7);
    for (double &v : w)
        v /= 6.0;
    synth::BandPass(w, rate, 9500, 0.9);
    Wave hiss = synth::Noise(frames, rng);
    synth::HighPass(hiss, rate, 7500);
    synth::Mix(w, hiss, 0.35);
    synth::HighPass(w, rate, 6000);
    synth::Decay(w, rate, tau);
    return w;
}

xm::Instrument ClosedHat() {
    const double rate = 44100;
    Wave w = HatNoise(synth::Frames(0.08, rate), rate, 0.018, 3);
    return Instrument("closed hat", OneShot("closed hat", w, rate, 0.85, 152));
}

xm::Instrument OpenHat() {
    const double rate = 32000;
    Wave w = HatNoise(synth::Frames(0.42, rate), rate, 0.13, 4);
    return Instrument("open hat", OneShot("open hat", w, rate, 0.6, 152));
}

xm::Instrument Sub() {
    const double rate = 22050;
    const int period = 256; // 86.13 Hz
    Wave w = synth::Harmonics(
        period * 2, period, {{1, 1.0}}, 3, [](int h, int) { return h == 1 ? 1.0 : 0.12 / h; }, 5);
    xm::Sample s = Looped("sine sub", w, rate, rate / period, period, 0.42);
    return Instrument("sub bass", s, VolumeEnvelope({{0, 0}, {2, 64}, {12, 56}}, 2), 1400);
}

xm::Instrument Clap() {
    const double rate = 32000;
    const int frames = synth::Frames(0.32, rate);
    synth::Rng rng(6);
    Wave clap = synth::Noise(frames, rng);
    synth::BandPass(clap, rate, 1500, 1.1);
    // Three hand strikes a few milliseconds apart, then the room.
    const double strikes[3] = {0.0, 0.009, 0.018};
    for (int n = 0; n < frames; ++n) {
        const double t = n / rate;
        double level = 0.0;
        for (double at : strikes)
            if (t >= at)
                level += std::exp(-(t - at) / 0.0028);
        if (t >= 0.026)
            level += 0.75 * std::exp(-(t - 0.026) / 0.075);
        clap[size_t(n)] *= level;
    }
    Wave sizzle = synth::Noise(frames, rng);
    synth::HighPass(sizzle, rate, 5000);
    synth::Decay(sizzle, rate, 0.07);
    Wave body =
        synth::Sweep(frames, rate, [](double t) { return 185.0 + 60.0 * std::exp(-t / 0.01); });
    synth::Decay(body, rate, 0.04);
    synth::Mix(clap, sizzle, 0.4);
    synth::Mix(clap, body, 0.55);
    synth::Saturate(clap, 1.3);
    return Instrument("clap snare", OneShot("clap", clap, rate, 0.95));
}

xm::Instrument Lead() {
    const double rate = 32000;
    const int period = 16384;
    const int attack = 256;
    // Five saws 7 to 27 cents apart around 439.5 Hz, whole cycles per loop.
    const std::vector<synth::Voice> voices = {
        {225, 1.0}, {224, 0.75}, {226, 0.75}, {222, 0.5}, {228, 0.5}};
    const double f0 = 225 * rate / period;
    Wave w = synth::Harmonics(
        attack + period, period, voices, 18,
        [&](int h, int) { return LowPassGain(h * f0, 5200.0, 0.8) / h; }, 7);
    xm::Sample s = Looped("supersaw", w, rate, f0, attack, 0.7);
    xm::Instrument i = Instrument("lead", s, VolumeEnvelope({{0, 0}, {1, 64}, {8, 52}}, 2), 1100);
    i.vibratoSweep = 60;
    i.vibratoDepth = 2;
    i.vibratoRate = 10;
    return i;
}

xm::Instrument Pad() {
    const double rate = 16000;
    const int period = 16384;
    const int attack = 256;
    const std::vector<synth::Voice> voices = {
        {128, 1.0}, {127, 0.8}, {129, 0.8}, {126, 0.5}, {130, 0.5}};
    const double f0 = 128 * rate / period; // 125 Hz
    Wave w = synth::Harmonics(
        attack + period, period, voices, 24,
        [&](int h, int) { return LowPassGain(h * f0, 1100.0, 0.9) / h; }, 8);
    xm::Sample s = Looped("string pad", w, rate, f0, attack, 0.3);
    return Instrument("pad", s, VolumeEnvelope({{0, 0}, {26, 64}, {46, 56}}, 2), 520);
}

xm::Instrument Pluck() {
    const double rate = 22050;
    const int period = 50; // 441 Hz
    const int frames = synth::Frames(0.42, rate);
    Wave w = synth::Harmonics(
        frames, period, {{1, 1.0}}, 20,
        [&](int h, int n) {
            const double t = n / rate;
            return (h % 2 ? 1.0 : 0.45) / h * std::exp(-t * (7.0 + 2.2 * h));
        },
        9);
    return Instrument("pluck", OneShot("pluck", w, rate, 0.6, 128, rate / period));
}

xm::Instrument Bell() {
    const double rate = 22050;
    const int period = 100; // carrier 2 cycles = 441 Hz, modulator 7 cycles (ratio 3.5)
    const int strike = synth::Frames(0.4, rate);
    Wave w = synth::Fm(strike + period, period, 2, 7,
                       [&](int n) { return Glide(n, strike, 3.2, 0.7, 0.3); });
    xm::Sample s = Looped("fm bell", w, rate, 2 * rate / period, strike, 0.5);
    return Instrument("bell", s, VolumeEnvelope({{0, 64}, {10, 40}, {40, 22}, {110, 8}, {220, 0}}),
                      420);
}

xm::Instrument Crash() {
    const double rate = 22050;
    const int loopStart = synth::Frames(0.25, rate);
    Wave w = CymbalNoise(synth::Frames(0.85, rate), rate, loopStart, 2.4, 3500, 11);
    xm::Sample s = Looped("crash noise", w, rate, synth::MIDDLE_C_HZ, loopStart, 0.5, false);
    return Instrument("crash", s,
                      VolumeEnvelope({{0, 64}, {6, 48}, {30, 28}, {80, 13}, {160, 4}, {260, 0}}),
                      300);
}

xm::Instrument Riser() {
    const double rate = 22050;
    const int loopStart = synth::Frames(0.1, rate);
    synth::Rng rng(12);
    Wave w = synth::Noise(synth::Frames(0.5, rate), rng);
    synth::BandPass(w, rate, 900, 0.8);
    synth::CrossfadeLoop(w, loopStart, loopStart / 2);
    xm::Sample s = Looped("noise riser", w, rate, synth::MIDDLE_C_HZ, loopStart, 0.5, false);
    return Instrument("riser", s, VolumeEnvelope({{0, 64}, {4, 64}}, 1), 2000);
}

xm::Instrument Shaker() {
    const double rate = 32000;
    const int frames = synth::Frames(0.08, rate);
    synth::Rng rng(13);
    Wave w = synth::Noise(frames, rng);
    synth::BandPass(w, rate, 7000, 1.4);
    synth::HighPass(w, rate, 4000);
    for (int n = 0; n < frames; ++n) {
        const double t = n / rate;
        w[size_t(n)] *= t < 0.012 ? t / 0.012 : std::exp(-(t - 0.012) / 0.022);
    }
    return Instrument("shaker", OneShot("shaker", w, rate, 0.5, 96));
}

xm::Instrument Rim() {
    const double rate = 32000;
    const int frames = synth::Frames(0.07, rate);
    Wave w = synth::Sweep(frames, rate, [](double) { return 1700.0; });
    synth::Decay(w, rate, 0.006);
    Wave low = synth::Sweep(frames, rate, [](double) { return 520.0; });
    synth::Decay(low, rate, 0.012);
    synth::Rng rng(14);
    Wave snap = synth::Noise(frames, rng);
    synth::BandPass(snap, rate, 3000, 1.0);
    synth::Decay(snap, rate, 0.003);
    synth::Mix(w, low, 0.6);
    synth::Mix(w, snap, 0.6);
    return Instrument("rim", OneShot("rim", w, rate, 0.36, 168));
}

Wave Tom(double rate, double seconds, double hz, double drop, double tau, uint32_t seed) {
    const int frames = synth::Frames(seconds, rate);
    Wave w = synth::Sweep(frames, rate, [&](double t) { return hz + drop * std::exp(-t / 0.05); });
    synth::Decay(w, rate, tau);
    synth::Rng rng(seed);
    Wave stick = synth::Noise(frames, rng);
    synth::LowPass(stick, rate, 2500);
    synth::Decay(stick, rate, 0.008);
    synth::Mix(w, stick, 0.35);
    synth::Saturate(w, 1.4);
    return w;
}

xm::Instrument TomHigh() {
    const double rate = 16000;
    return Instrument("high tom",
                      OneShot("high tom", Tom(rate, 0.45, 150, 70, 0.15, 15), rate, 0.6, 100));
}

xm::Instrument TomLow() {
    const double rate = 16000;
    return Instrument("low tom",
                      OneShot("low tom", Tom(rate, 0.55, 92, 50, 0.2, 16), rate, 0.65, 156));
}

xm::Instrument Ride() {
    const double rate = 22050;
    const int loopStart = synth::Frames(0.3, rate);
    const int frames = synth::Frames(0.65, rate);
    Wave w = CymbalNoise(frames, rate, loopStart, 3.1, 6000, 17);
    // The bell of the ride: two inharmonic partials that die away before the loop.
    for (double hz : {2950.0, 4420.0}) {
        Wave ping = synth::Sweep(frames, rate, [&](double) { return hz; });
        for (int n = 0; n < frames; ++n)
            ping[size_t(n)] *= Glide(n, loopStart / 2, 1.0, 0.0, 0.2);
        synth::Mix(w, ping, 0.25);
    }
    xm::Sample s = Looped("ride", w, rate, synth::MIDDLE_C_HZ, loopStart, 0.3, false);
    s.panning = 176;
    return Instrument("ride", s, VolumeEnvelope({{0, 64}, {8, 40}, {40, 20}, {110, 6}, {200, 0}}),
                      500);
}

xm::Instrument Choir() {
    const double rate = 16000;
    const int period = 16384;
    const int attack = 256;
    const std::vector<synth::Voice> voices = {
        {225, 1.0}, {224, 0.8}, {226, 0.8}, {223, 0.5}, {227, 0.5}};
    const double f0 = 225 * rate / period; // 219.7 Hz
    // Glottal buzz through the three formants of an open "ah".
    const double formant[3][3] = {{730, 90, 1.0}, {1090, 110, 0.5}, {2440, 160, 0.25}};
    Wave w = synth::Harmonics(
        attack + period, period, voices, 22,
        [&](int h, int) {
            const double hz = h * f0;
            double gain = 0.02;
            for (const auto &f : formant)
                gain += f[2] / (1.0 + ((hz - f[0]) / f[1]) * ((hz - f[0]) / f[1]));
            return gain / std::pow(h, 0.7);
        },
        18);
    xm::Sample s = Looped("ah choir", w, rate, f0, attack, 0.3);
    xm::Instrument i = Instrument("choir", s, VolumeEnvelope({{0, 0}, {32, 64}, {50, 58}}, 2), 480);
    i.vibratoSweep = 80;
    i.vibratoDepth = 2;
    i.vibratoRate = 6;
    return i;
}

xm::Instrument Square() {
    const double rate = 22050;
    const int period = 50; // 441 Hz
    Wave w = synth::Harmonics(
        period * 3, period, {{1, 1.0}}, 15, [](int h, int) { return h % 2 ? 1.0 / h : 0.0; }, 19);
    xm::Sample s = Looped("square", w, rate, rate / period, period * 2, 0.3);
    xm::Instrument i =
        Instrument("chip lead", s, VolumeEnvelope({{0, 64}, {4, 48}, {24, 40}}, 2), 1500);
    i.vibratoSweep = 30;
    i.vibratoDepth = 4;
    i.vibratoRate = 12;
    return i;
}

xm::Instrument Reverse() {
    const double rate = 22050;
    const int loopStart = synth::Frames(0.12, rate);
    Wave w = CymbalNoise(synth::Frames(0.5, rate), rate, loopStart, 2.8, 4500, 20);
    xm::Sample s = Looped("swell noise", w, rate, synth::MIDDLE_C_HZ, loopStart, 0.5, false);
    // A cymbal played backwards: swells for 90 ticks (30 rows) and stops dead on the beat.
    return Instrument("reverse cymbal", s,
                      VolumeEnvelope({{0, 0}, {40, 8}, {70, 26}, {89, 64}, {90, 0}}));
}

xm::Instrument Piano() {
    const double rate = 22050;
    const int period = 50; // 441 Hz
    const int strike = synth::Frames(0.45, rate);
    Wave w = synth::Fm(strike + period, period, 1, 1,
                       [&](int n) { return Glide(n, strike, 2.2, 0.35, 0.25); });
    // The tine: a high partial that rings only in the strike.
    Wave tine = synth::Harmonics(
        strike, period, {{14, 1.0}}, 1,
        [&](int, int n) { return Glide(n, strike / 3, 1.0, 0.0, 0.15); }, 21);
    synth::Mix(w, tine, 0.18);
    xm::Sample s = Looped("fm piano", w, rate, rate / period, strike, 0.4);
    return Instrument("e-piano", s, VolumeEnvelope({{0, 64}, {20, 44}, {60, 30}, {150, 18}}, 3),
                      900);
}

xm::Instrument Stab() {
    const double rate = 22050;
    const int period = 100; // root 2 cycles = 441 Hz, fifth 3, octave 4
    const int strike = synth::Frames(0.2, rate);
    Wave w(size_t(strike + period), 0.0);
    for (int cycles : {2, 3, 4}) {
        const double hz = cycles * rate / period;
        Wave saw = synth::Harmonics(
            strike + period, period, {{cycles, 1.0}}, 24,
            [&](int h, int n) {
                return LowPassGain(h * hz, Glide(n, strike, 4500, 1400, 0.3), 1.2) / h;
            },
            22 + uint32_t(cycles));
        synth::Mix(w, saw, cycles == 2 ? 1.0 : 0.7);
    }
    xm::Sample s = Looped("fifth stab", w, rate, 2 * rate / period, strike, 0.4);
    return Instrument("stab", s, VolumeEnvelope({{0, 64}, {6, 40}, {18, 16}, {30, 0}}));
}

xm::Instrument Zap() {
    const double rate = 22050;
    Wave w = synth::Sweep(synth::Frames(0.35, rate), rate,
                          [](double t) { return 80.0 + 2200.0 * std::exp(-t / 0.05); });
    synth::Saturate(w, 3.0);
    synth::Decay(w, rate, 0.12);
    return Instrument("zap", OneShot("zap", w, rate, 0.3, 200));
}

xm::Instrument Ghost() {
    const double rate = 22050;
    const int frames = synth::Frames(0.18, rate);
    synth::Rng rng(24);
    Wave w = synth::Noise(frames, rng);
    synth::BandPass(w, rate, 2600, 0.8);
    synth::Decay(w, rate, 0.04);
    Wave body = synth::Sweep(frames, rate, [](double) { return 240.0; });
    synth::Decay(body, rate, 0.02);
    synth::Mix(w, body, 0.5);
    return Instrument("ghost snare", OneShot("ghost snare", w, rate, 0.45, 112));
}

xm::Instrument Boom() {
    const double rate = 11025;
    const int frames = synth::Frames(1.2, rate);
    Wave w = synth::Sweep(frames, rate, [](double t) { return 38.0 + 90.0 * std::exp(-t / 0.08); });
    synth::Decay(w, rate, 0.45);
    synth::Rng rng(25);
    Wave rumble = synth::Noise(frames, rng);
    synth::LowPass(rumble, rate, 500);
    synth::Decay(rumble, rate, 0.15);
    synth::Mix(w, rumble, 0.3);
    synth::Saturate(w, 1.5);
    return Instrument("boom", OneShot("boom", w, rate, 0.8));
}

} // namespace

std::vector<xm::Instrument> MakeInstruments() {
    return {Bass(),    Kick(),   ClosedHat(), OpenHat(), Sub(),    Clap(),    Lead(),
            Pad(),     Pluck(),  Bell(),      Crash(),   Riser(),  Shaker(),  Rim(),
            TomHigh(), TomLow(), Ride(),      Choir(),   Square(), Reverse(), Piano(),
            Stab(),    Zap(),    Ghost(),     Boom()};
}

} // namespace song
