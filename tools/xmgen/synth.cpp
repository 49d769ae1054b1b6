#include "tools/xmgen/synth.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace synth {

uint32_t Rng::Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double Rng::Uniform() {
    return double(Next()) / 2147483648.0 - 1.0;
}

int Frames(double seconds, double sampleRate) {
    return int(std::lround(seconds * sampleRate));
}

Wave Harmonics(int frames, int period, const std::vector<Voice> &voices, int harmonicCount,
               const std::function<double(int, int)> &amplitude, uint32_t phaseSeed) {
    Wave out(size_t(frames), 0.0);
    Rng rng(phaseSeed);
    for (const Voice &voice : voices) {
        for (int h = 1; h <= harmonicCount; ++h) {
            const int64_t step = int64_t(h) * voice.cycles;
            const double phase = PI * rng.Uniform();
            if (2 * step >= period)
                break; // at or above Nyquist
            for (int n = 0; n < frames; ++n) {
                const int64_t index = (step * n) % period;
                out[size_t(n)] += voice.level * amplitude(h, n) *
                                  std::sin(2.0 * PI * double(index) / period + phase);
            }
        }
    }
    return out;
}

Wave Fm(int frames, int period, int carrierCycles, int modulatorCycles,
        const std::function<double(int)> &index) {
    Wave out(static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const double carrier = 2.0 * PI * double((int64_t(carrierCycles) * n) % period) / period;
        const double modulator =
            2.0 * PI * double((int64_t(modulatorCycles) * n) % period) / period;
        out[size_t(n)] = std::sin(carrier + index(n) * std::sin(modulator));
    }
    return out;
}

Wave Sweep(int frames, double sampleRate, const std::function<double(double)> &hz) {
    Wave out(static_cast<size_t>(frames));
    double phase = 0.0;
    for (int n = 0; n < frames; ++n) {
        out[size_t(n)] = std::sin(2.0 * PI * phase);
        phase += hz(n / sampleRate) / sampleRate;
        phase -= std::floor(phase);
    }
    return out;
}

Wave Noise(int frames, Rng &rng) {
    Wave out(static_cast<size_t>(frames));
    for (double &v : out)
        v = rng.Uniform();
    return out;
}

Wave Metal(int frames, double sampleRate, double scale) {
    // Frequency ratios of the classic analogue cymbal circuit: six detuned square waves.
    static const double RATIOS[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    Wave out(size_t(frames), 0.0);
    for (double base : RATIOS) {
        const double step = base * scale / sampleRate;
        double phase = 0.0;
        for (int n = 0; n < frames; ++n) {
            out[size_t(n)] += phase < 0.5 ? 1.0 : -1.0;
            phase += step;
            phase -= std::floor(phase);
        }
    }
    return out;
}

namespace {

void Biquad(Wave &w, double b0, double b1, double b2, double a0, double a1, double a2) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (double &v : w) {
        const double y = (b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1;
        x1 = v;
        y2 = y1;
        y1 = y;
        v = y;
    }
}

} // namespace

void LowPass(Wave &w, double sampleRate, double hz, double q) {
    const double w0 = 2.0 * PI * hz / sampleRate;
    const double c = std::cos(w0), alpha = std::sin(w0) / (2.0 * q);
    Biquad(w, (1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void HighPass(Wave &w, double sampleRate, double hz, double q) {
    const double w0 = 2.0 * PI * hz / sampleRate;
    const double c = std::cos(w0), alpha = std::sin(w0) / (2.0 * q);
    Biquad(w, (1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void BandPass(Wave &w, double sampleRate, double hz, double q) {
    const double w0 = 2.0 * PI * hz / sampleRate;
    const double c = std::cos(w0), alpha = std::sin(w0) / (2.0 * q);
    Biquad(w, alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

void Decay(Wave &w, double sampleRate, double tau, double delay) {
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = n / sampleRate - delay;
        if (t > 0)
            w[n] *= std::exp(-t / tau);
    }
}

void Saturate(Wave &w, double drive) {
    for (double &v : w)
        v = std::tanh(v * drive) / std::tanh(drive);
}

void Mix(Wave &into, const Wave &add, double gain, int offset) {
    for (size_t n = 0; n < add.size(); ++n) {
        const size_t at = n + size_t(offset);
        if (at < into.size())
            into[at] += gain * add[n];
    }
}

void FadeIn(Wave &w, int frames) {
    for (int n = 0; n < frames && n < int(w.size()); ++n)
        w[size_t(n)] *= double(n) / frames;
}

void FadeOut(Wave &w, int frames) {
    const int size = int(w.size());
    for (int n = 0; n < frames && n < size; ++n)
        w[size_t(size - 1 - n)] *= double(n) / frames;
}

void CrossfadeLoop(Wave &w, int loopStart, int crossfade) {
    const int end = int(w.size());
    if (loopStart < crossfade || end - loopStart < 2 * crossfade)
        throw std::invalid_argument("CrossfadeLoop: loop too short for the crossfade");
    const Wave before(w.begin() + (loopStart - crossfade), w.begin() + loopStart);
    for (int i = 0; i < crossfade; ++i) {
        const double x = (i + 1.0) / crossfade; // 1 at the last frame of the loop
        const size_t at = size_t(end - crossfade + i);
        w[at] = w[at] * std::cos(x * PI / 2) + before[size_t(i)] * std::sin(x * PI / 2);
    }
}

std::vector<int16_t> ToPcm(const Wave &w, double peak) {
    double largest = 0.0;
    for (double v : w)
        largest = std::max(largest, std::fabs(v));
    const double scale = largest > 0 ? peak * 32767.0 / largest : 0.0;
    std::vector<int16_t> out(w.size());
    for (size_t n = 0; n < w.size(); ++n)
        out[n] = int16_t(std::clamp(std::lround(w[n] * scale), -32768L, 32767L));
    return out;
}

void Tune(xm::Sample &sample, double sampleRate, double toneHz) {
    const double semitones = 12.0 * std::log2(MIDDLE_C_HZ * sampleRate / (XM_C4_RATE * toneHz));
    const long total = std::lround(semitones * 128.0);
    const long relative = long(std::floor((total + 64) / 128.0));
    if (relative < -96 || relative > 95)
        throw std::invalid_argument("Tune: sample rate and tone too far apart");
    sample.relativeNote = int8_t(relative);
    sample.finetune = int8_t(total - relative * 128);
}

} // namespace synth
