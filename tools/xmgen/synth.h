// Sound building blocks for the module's samples. Everything is deterministic: noise comes
// from a seeded generator of our own and periodic tones use exact integer phase arithmetic,
// so the generator reproduces its output byte for byte.
#pragma once

#include "tools/xmgen/xm_writer.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace synth {

constexpr double PI = 3.14159265358979323846;
constexpr double MIDDLE_C_HZ = 261.6255653005986; // what note C-4 should sound as
constexpr double XM_C4_RATE = 8363.0;             // playback rate of C-4 at relative note 0

using Wave = std::vector<double>;

// xorshift32: small, fast and the same everywhere.
struct Rng {
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next();
    double Uniform(); // [-1, 1)
};

int Frames(double seconds, double sampleRate);

// Sum of harmonic partials whose fundamental completes `cycles` whole cycles every `period`
// frames, so that any `period`-long stretch where the amplitudes stay constant loops without
// a seam. `amplitude(h, frame)` gives the level of harmonic h (1-based).
struct Voice {
    int cycles;
    double level;
};
Wave Harmonics(int frames, int period, const std::vector<Voice> &voices, int harmonicCount,
               const std::function<double(int, int)> &amplitude, uint32_t phaseSeed);

// Two-operator FM, y = sin(carrier + index(frame) * sin(modulator)), with both frequencies
// given as whole cycles per `period` frames (periodic for the same reason as above).
Wave Fm(int frames, int period, int carrierCycles, int modulatorCycles,
        const std::function<double(int)> &index);

// Sine sweep: frequency in Hz as a function of time in seconds.
Wave Sweep(int frames, double sampleRate, const std::function<double(double)> &hz);

Wave Noise(int frames, Rng &rng);

// Inharmonic square-wave cluster, the metallic core of hats and cymbals.
Wave Metal(int frames, double sampleRate, double scale);

// RBJ biquads, run in place.
void LowPass(Wave &w, double sampleRate, double hz, double q = 0.707);
void HighPass(Wave &w, double sampleRate, double hz, double q = 0.707);
void BandPass(Wave &w, double sampleRate, double hz, double q);

// Multiplies by an exponential decay with time constant tau seconds, after a delay.
void Decay(Wave &w, double sampleRate, double tau, double delay = 0.0);
void Saturate(Wave &w, double drive);
void Mix(Wave &into, const Wave &add, double gain, int offset = 0);

// Linear fades over the first and last frames, so a sample neither starts nor ends with a
// step (a click).
void FadeIn(Wave &w, int frames);
void FadeOut(Wave &w, int frames);

// Makes [loopStart, end) loop seamlessly by crossfading its tail with the frames just before
// loopStart (equal power, for noise). The wave keeps its length.
void CrossfadeLoop(Wave &w, int loopStart, int crossfade);

// Scales to the given peak (1.0 = full scale) and converts to 16-bit values.
std::vector<int16_t> ToPcm(const Wave &w, double peak);

// Sets relative note and finetune so that a tone of toneHz recorded at sampleRate sounds at
// its true pitch: note C-4 then plays MIDDLE_C_HZ. For unpitched sounds pass MIDDLE_C_HZ,
// which makes C-4 replay the recording at its own rate.
void Tune(xm::Sample &sample, double sampleRate, double toneHz);

} // namespace synth
