#include "render/demo_signal.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5; // seconds

double noteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// A band-limited-enough sawtooth: the first eight harmonics.
double saw(double phase) {
    double sum = 0;
    for (int h = 1; h <= 8; ++h)
        sum += std::sin(2 * kPi * h * phase) / h;
    return sum * (2 / kPi);
}

} // namespace

void synthesizeDemo(std::vector<float>& left, std::vector<float>& right, double seconds, double sampleRate) {
    const size_t frames = size_t(seconds * sampleRate);
    left.assign(frames, 0.0f);
    right.assign(frames, 0.0f);
    // A minor - F major - C major - G major, one chord per bar, as MIDI notes.
    static const int kChords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};
    static const int kBassRoots[4] = {33, 29, 36, 31};
    uint32_t noise = 0x2545F491u;
    double hatState = 0;
    double bassPhase = 0;
    double chordPhase[3] = {0, 0.3, 0.6};
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const int bar = int(t / (4 * kBeat));
        const int chord = bar % 4;
        const bool groove = bar >= 2;
        const double inBeat = std::fmod(t, kBeat);

        // Sustained chord, slowly swelling with each bar.
        const double barPosition = std::fmod(t, 4 * kBeat) / (4 * kBeat);
        const double swell = 0.6 + 0.4 * std::sin(kPi * barPosition);
        double pad = 0;
        for (int v = 0; v < 3; ++v) {
            chordPhase[v] += noteFrequency(kChords[chord][v]) / sampleRate;
            pad += std::sin(2 * kPi * chordPhase[v]) + 0.3 * std::sin(4 * kPi * chordPhase[v]);
        }
        pad *= 0.06 * swell;

        double kick = 0, bass = 0, hat = 0;
        if (groove) {
            // Kick: a sine falling from 150 Hz to 50 Hz with a fast decay.
            const double kickPhase = 50 * inBeat + 100 * (1 - std::exp(-inBeat * 25)) / 25;
            kick = 0.8 * std::exp(-inBeat * 9) * std::sin(2 * kPi * kickPhase);
            // Bass: plucked sawtooth on every eighth.
            const double inEighth = std::fmod(t, kBeat / 2);
            bassPhase +=
                noteFrequency(kBassRoots[chord] + (int(t / (kBeat / 2)) % 4 == 3 ? 12 : 0)) / sampleRate;
            bass = 0.25 * std::exp(-inEighth * 6) * saw(bassPhase);
            // Hats: high-passed noise bursts on the off-beats.
            noise = noise * 1664525u + 1013904223u;
            const double white = double(noise >> 8) / double(1u << 23) - 1.0;
            const double highPassed = white - hatState;
            hatState = white;
            const double sinceOffBeat = std::fmod(t + kBeat / 2, kBeat);
            hat = 0.12 * std::exp(-sinceOffBeat * 45) * highPassed;
        }
        left[i] = float(0.7 * (kick + bass + 1.1 * pad + 0.7 * hat));
        right[i] = float(0.7 * (kick + bass + 0.9 * pad + 1.0 * hat));
    }
}
