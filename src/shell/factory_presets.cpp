#include "shell/factory_presets.h"

#include "shell/state_block.h"

#include <cmath>

namespace {

// Columns: top edge Hz, gain dB, threshold dB, ratio, knee dB, attack / release / RMS ms,
// automatic makeup, program-dependent release, feedback detector, active. Makeup is set by
// hand wherever a preset promises to leave something at its level.
// clang-format off
const FactoryPreset kPresets[] = {
    // A gentle broadband hold on a whole mix: a soft 2:1 from -20 dB with a wide knee, a
    // quick attack on the peaks that rounds off the hits and a release quick enough to let
    // go between them; quiet mixes pass untouched.
    {"Mix bus glue", 0.0, 2, {
        {120,   0.0, -20.0, 2.0, 6.0, 2, 60, 0, false, false, false, true},
        {24000, 0.0, -20.0, 2.0, 6.0, 2, 60, 0, false, false, false, true}}},
    // Four bands evening out loud passages gently (2:1 above -14 dB, soft knees, slow
    // envelopes); below the thresholds the bands sum back to the input.
    {"Mastering 4-band", 0.0, 4, {
        {120,   0.0, -14.0, 2.0, 6.0, 40, 300, 20, false, true, false, true},
        {800,   0.0, -14.0, 1.8, 6.0, 25, 250, 10, false, true, false, true},
        {5000,  0.0, -16.0, 1.8, 6.0, 15, 200, 10, false, true, false, true},
        {24000, 0.0, -18.0, 1.6, 6.0, 10, 150,  5, false, true, false, true}}},
    // Five bands for finer balance: the low mids (where a mix gets boomy) held hardest, the
    // presence and air bands barely touched unless loud.
    {"Mastering 5-band", 0.0, 5, {
        {80,    0.0, -16.0, 2.0, 6.0, 50, 300, 20, false, true, false, true},
        {400,   0.0, -18.0, 3.0, 6.0, 30, 250, 10, false, true, false, true},
        {2500,  0.0, -14.0, 1.8, 6.0, 20, 200, 10, false, true, false, true},
        {8000,  0.0, -14.0, 1.6, 6.0, 10, 150,  5, false, true, false, true},
        {24000, 0.0, -14.0, 1.5, 6.0,  5, 120,  5, false, true, false, true}}},
    // Drums: a slow attack lets each hit through before a fast 4:1 pulls the ring and room
    // down, so the hits stand out from their own tails.
    {"Drum bus punch", 0.0, 2, {
        {150,   0.0, -24.0, 4.0, 3.0, 25, 90, 0, false, false, false, true},
        {24000, 0.0, -24.0, 4.0, 3.0, 25, 90, 0, false, false, false, true}}},
    // The bass held at an even level (6:1 from -30 dB, RMS detection); the band reaches up
    // to 200 Hz because the split above it is gentle, so that what lies below about 120 Hz
    // is held firmly. The rest passes untouched.
    {"Bass control", 0.0, 2, {
        {200,   0.0, -30.0, 6.0, 6.0, 20, 200, 30, false, false, false, true},
        {24000, 0.0,   0.0, 1.0, 0.0, 15, 150,  5, false, false, false, true}}},
    // A voice's body (200 Hz to 5 kHz) kept even, 3:1 from -28 dB; lows and sibilance alone.
    {"Vocal control", 0.0, 3, {
        {200,   0.0,   0.0, 1.0, 0.0, 15, 150,  5, false, false, false, true},
        {5000,  0.0, -28.0, 3.0, 6.0, 10, 180, 20, false, true, false, true},
        {24000, 0.0,   0.0, 1.0, 0.0, 15, 150,  5, false, false, false, true}}},
    // Sibilance above about 4.5 kHz taken down hard and fast (6:1 from -22 dB, 1 ms attack);
    // the body below is never compressed.
    {"De-esser", 0.0, 2, {
        {4500,  0.0,   0.0, 1.0, 0.0, 15, 150,  5, false, false, false, true},
        {24000, 0.0, -22.0, 6.0, 0.0,  1,  60,  0, false, false, false, true}}},
    // Speech for broadcast: every level pulled towards one (5:1 from -32 dB, slow RMS), made
    // up so that quiet speakers come up and loud ones go down.
    {"Broadcast voice leveller", 0.0, 2, {
        {150,   6.0, -32.0, 5.0, 6.0, 10, 400, 50, false, true, false, true},
        {24000, 6.0, -32.0, 5.0, 6.0, 10, 400, 50, false, true, false, true}}},
    // Speech for podcasts: rumble below about 80 Hz cut (a band to 120 Hz at -24 dB takes
    // about 8 dB off 35 Hz, as the gentle split lets some through), the voice levelled (4:1
    // from -30 dB).
    {"Podcast voice", 0.0, 3, {
        {120, -24.0,   0.0, 1.0, 0.0, 15, 150,  5, false, false, false, true},
        {6000,  6.0, -30.0, 4.0, 6.0, 10, 350, 40, false, true, false, true},
        {24000, 6.0, -30.0, 4.0, 6.0, 10, 350, 40, false, true, false, true}}},
    // Quiet detail brought up: 1.5:1 from -40 dB with 13.3 dB of makeup, which is what the
    // curve takes from a 0 dB signal, so loud passages stay where they were.
    {"Upward lift of quiet detail", 0.0, 2, {
        {150,   13.3, -40.0, 1.5, 6.0, 1, 300, 20, false, false, false, true},
        {24000, 13.3, -40.0, 1.5, 6.0, 1, 300, 20, false, false, false, true}}},
    // Noise between phrases pushed down: below -50 dB the band stays 15 dB down, above it the
    // gain rises 0.5 dB per dB (a 0.67 ratio), so phrases near -20 dB come out as they went in.
    {"Downward expander", 0.0, 2, {
        {150,   -15.0, -50.0, 0.667, 0.0, 2, 150, 10, false, false, false, true},
        {24000, -15.0, -50.0, 0.667, 0.0, 2, 150, 10, false, false, false, true}}},
    // Peaks caught at about -6 dB (20:1, instant attack); anything below passes untouched.
    {"Peak catcher", 0.0, 1, {
        {24000, 0.0, -6.0, 20.0, 0.0, 0, 60, 0, false, false, false, true}}},
};
// clang-format on

double fromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

} // namespace

int32_t factoryPresetCount() {
    return int32_t(sizeof(kPresets) / sizeof(kPresets[0]));
}

const FactoryPreset& factoryPreset(int32_t index) {
    return kPresets[index];
}

const FactoryPreset* findFactoryPreset(const std::string& name) {
    for (const FactoryPreset& preset : kPresets)
        if (name == preset.name)
            return &preset;
    return nullptr;
}

std::vector<uint8_t> factoryPresetBlock(const FactoryPreset& preset) {
    StoredBand bands[kMostFactoryBands];
    for (int32_t i = 0; i < preset.bandCount; ++i) {
        const FactoryBand& b = preset.bands[i];
        BandSettings& s = bands[i].settings;
        bands[i].frequency = b.frequencyHz;
        s.gain = fromDb(b.gainDb);
        s.threshold = fromDb(b.thresholdDb);
        s.ratio = b.ratio;
        s.knee = b.kneeDb;
        s.attackMs = b.attackMs;
        s.releaseMs = b.releaseMs;
        s.rmsSizeMs = b.rmsMs;
        s.autoMakeupGain = b.autoMakeup;
        s.programDependentRelease = b.programRelease;
        s.feedbackDetector = b.feedback;
        s.active = b.active;
    }
    return encodeStateBlock(bands, preset.bandCount, fromDb(preset.outputGainDb));
}
