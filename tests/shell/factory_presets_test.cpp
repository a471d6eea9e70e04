// Each factory preset does the job its name promises, on material made here and rendered
// through the effect record as a host renders it: levels are compared with the input's over
// windows where the promise applies (after the envelopes have settled).
#include "shell/compressor_effect.h"
#include "shell/factory_presets.h"
#include "shell/preset_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

intptr_t VST_CALL silentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

int32_t at(double seconds) {
    return int32_t(seconds * kRate);
}

// The mono signal through an instance holding the preset (both channels alike), in host
// blocks of 512 frames; the left output.
std::vector<float> renderWithPreset(const std::string& name, const std::vector<float>& input) {
    AEffect* effect = VSTPluginMain(silentHost);
    auto* fx = CompressorEffect::fromEffect(effect);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::string error;
    const PresetLibrary factoryOnly{""};
    EXPECT_TRUE(loadPreset(*fx, factoryOnly, name, error)) << error;
    std::vector<float> left(input), right(input), outLeft(input.size()), outRight(input.size());
    for (size_t start = 0; start < input.size(); start += 512) {
        const auto n = int32_t(std::min<size_t>(512, input.size() - start));
        float* in[2] = {left.data() + start, right.data() + start};
        float* out[2] = {outLeft.data() + start, outRight.data() + start};
        effect->processReplacing(effect, in, out, n);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return outLeft;
}

double toDb(double linear) {
    return 20.0 * std::log10(std::max(linear, 1e-12));
}

// The amplitude of the frequency's component over a window, by correlation, in dB.
double toneDb(const std::vector<float>& x, int32_t start, int32_t length, double frequency) {
    double s = 0, c = 0;
    for (int32_t i = start; i < start + length; ++i) {
        const double phase = kTwoPi * frequency * i / kRate;
        s += x[size_t(i)] * std::sin(phase);
        c += x[size_t(i)] * std::cos(phase);
    }
    return toDb(2.0 * std::hypot(s, c) / length);
}

double rmsDb(const std::vector<float>& x, int32_t start, int32_t length) {
    double sum = 0;
    for (int32_t i = start; i < start + length; ++i)
        sum += double(x[size_t(i)]) * x[size_t(i)];
    return toDb(std::sqrt(sum / length));
}

double peakDb(const std::vector<float>& x, int32_t start, int32_t length) {
    double peak = 0;
    for (int32_t i = start; i < start + length; ++i)
        peak = std::max(peak, std::fabs(double(x[size_t(i)])));
    return toDb(peak);
}

struct Tone {
    double frequency, amplitudeDb;
};

// Tones summed over seconds, each sample times envelope(t).
std::vector<float> tones(
    double seconds, std::initializer_list<Tone> parts,
    const std::function<double(double)>& envelope = [](double) { return 1.0; }) {
    std::vector<float> x(size_t(at(seconds)));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / kRate;
        double v = 0;
        for (const Tone& p : parts)
            v += std::pow(10.0, p.amplitudeDb / 20.0) * std::sin(kTwoPi * p.frequency * t);
        x[i] = float(v * envelope(t));
    }
    return x;
}

// Two levels in turn, each held for `hold` seconds: the envelope of loud and quiet phrases.
std::function<double(double)> alternating(double hold, double loudDb, double quietDb) {
    return [=](double t) { return std::pow(10.0, (int(t / hold) % 2 == 0 ? loudDb : quietDb) / 20.0); };
}

void addTo(std::vector<float>& x, const std::vector<float>& y) {
    for (size_t i = 0; i < x.size() && i < y.size(); ++i)
        x[i] += y[i];
}

TEST(FactoryPresets, AtLeastTwelveWithDistinctNamesAndSaneSettings) {
    ASSERT_GE(factoryPresetCount(), 12);
    std::vector<std::string> names;
    for (int32_t i = 0; i < factoryPresetCount(); ++i) {
        const FactoryPreset& p = factoryPreset(i);
        names.push_back(p.name);
        EXPECT_EQ(findFactoryPreset(p.name), &p);
        ASSERT_GE(p.bandCount, 1) << p.name;
        for (int32_t b = 0; b < p.bandCount; ++b) {
            const FactoryBand& band = p.bands[b];
            EXPECT_TRUE(band.frequencyHz >= 20 && band.frequencyHz <= 24000) << p.name;
            EXPECT_TRUE(band.gainDb >= -89 && band.gainDb <= 24 && band.thresholdDb <= 0) << p.name;
            EXPECT_TRUE(band.ratio >= 0.1 && band.ratio <= 100) << p.name;
            if (b > 0) {
                EXPECT_GT(band.frequencyHz, p.bands[b - 1].frequencyHz) << p.name << ": bands out of order";
            }
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(findFactoryPreset("no such preset"), nullptr);
}

// A mix with a beat: four tones under hits that rise in 5 ms and decay in 60 ms, four hits a
// second.
std::vector<float> beatMix(double seconds, double levelDb) {
    return tones(seconds, {{80, levelDb}, {440, levelDb - 4}, {2500, levelDb - 8}, {7000, levelDb - 12}},
                 [](double t) {
                     const double sinceHit = std::fmod(t, 0.25);
                     return 0.25 + 0.75 * std::min(sinceHit / 0.005, 1.0) * std::exp(-sinceHit / 0.06);
                 });
}

// How far the hits stand out of the bed: the level of the 20 ms at the top of each hit over
// that of the 50 ms before the next, in dB, averaged over the hits from second 2 on.
double hitOverBedDb(const std::vector<float>& x) {
    double sum = 0;
    int hits = 0;
    for (double hit = 2.0; hit + 0.25 <= double(x.size()) / kRate; hit += 0.25, ++hits)
        sum += rmsDb(x, at(hit), at(0.02)) - rmsDb(x, at(hit + 0.2), at(0.05));
    return sum / hits;
}

TEST(FactoryPresets, MixBusGlueDrawsALoudMixsHitsAndBedTogetherALittleAndLeavesAQuietOneAlone) {
    for (double levelDb : {-4.0, -40.0}) {
        const std::vector<float> in = beatMix(4.0, levelDb);
        const std::vector<float> out = renderWithPreset("Mix bus glue", in);
        const double drawnTogether = hitOverBedDb(in) - hitOverBedDb(out);
        const int32_t from = at(2.0), length = at(2.0);
        if (levelDb > -10) {
            EXPECT_GT(drawnTogether, 1.0) << "loud mix";
            EXPECT_LT(drawnTogether, 5.0) << "loud mix: glue is gentle";
        } else {
            EXPECT_NEAR(drawnTogether, 0.0, 0.1) << "quiet mix";
            EXPECT_NEAR(rmsDb(out, from, length), rmsDb(in, from, length), 0.2) << "quiet mix";
        }
    }
}

TEST(FactoryPresets, MasteringFourBandEvensLoudPassagesGentlyAndPassesQuietOnes) {
    const std::vector<float> in =
        tones(8.0, {{60, -9}, {500, -9}, {3000, -12}, {10000, -15}}, alternating(2.0, 0.0, -30.0));
    const std::vector<float> out = renderWithPreset("Mastering 4-band", in);
    const int32_t length = at(1.0);
    const double loudDrop = rmsDb(in, at(5.0), length) - rmsDb(out, at(5.0), length);
    EXPECT_GT(loudDrop, 1.0);
    EXPECT_LT(loudDrop, 6.0);
    EXPECT_NEAR(rmsDb(out, at(7.0), length), rmsDb(in, at(7.0), length), 0.3);
}

TEST(FactoryPresets, MasteringFiveBandHoldsALowMidBoomAndLeavesThePresenceAlone) {
    const std::vector<float> in = tones(4.0, {{250, -6}, {5000, -30}});
    const std::vector<float> out = renderWithPreset("Mastering 5-band", in);
    const int32_t from = at(3.0), length = at(1.0);
    EXPECT_LT(toneDb(out, from, length, 250), toneDb(in, from, length, 250) - 3.0);
    EXPECT_NEAR(toneDb(out, from, length, 5000), toneDb(in, from, length, 5000), 1.0);
}

// Drum hits: noise with a 1 ms rise and a 150 ms decay, two a second.
std::vector<float> drumHits(double seconds) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<float> x(size_t(at(seconds)));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = std::fmod(double(i) / kRate, 0.5);
        const double envelope = std::min(t / 0.001, 1.0) * std::exp(-t / 0.15);
        x[i] = float(0.7 * envelope * noise(random));
    }
    return x;
}

TEST(FactoryPresets, DrumBusPunchKeepsTheHitsAndLowersTheirTails) {
    const std::vector<float> in = drumHits(4.0);
    const std::vector<float> out = renderWithPreset("Drum bus punch", in);
    for (double hit = 2.0; hit < 4.0; hit += 0.5) {
        EXPECT_NEAR(peakDb(out, at(hit), at(0.003)), peakDb(in, at(hit), at(0.003)), 1.5) << "hit at " << hit;
        EXPECT_LT(rmsDb(out, at(hit + 0.06), at(0.2)), rmsDb(in, at(hit + 0.06), at(0.2)) - 3.0)
            << "tail of " << hit;
    }
}

TEST(FactoryPresets, BassControlNarrowsTheBassLevelRangeAndLeavesTheTopAlone) {
    std::vector<float> in = tones(8.0, {{60, 0}}, alternating(1.0, -6.0, -26.0));
    addTo(in, tones(8.0, {{3000, -20}}));
    const std::vector<float> out = renderWithPreset("Bass control", in);
    const int32_t length = at(0.5);
    const double rangeIn = toneDb(in, at(6.5), length, 60) - toneDb(in, at(7.5), length, 60);
    const double rangeOut = toneDb(out, at(6.5), length, 60) - toneDb(out, at(7.5), length, 60);
    EXPECT_LT(rangeOut, rangeIn - 6.0);
    for (double t : {6.5, 7.5})
        EXPECT_NEAR(toneDb(out, at(t), length, 3000), toneDb(in, at(t), length, 3000), 0.5);
}

TEST(FactoryPresets, VocalControlEvensTheVoiceAndLeavesRumbleAndAirAlone) {
    std::vector<float> in = tones(8.0, {{300, -3}, {1000, -6}, {2000, -12}}, alternating(1.0, -4.0, -24.0));
    addTo(in, tones(8.0, {{50, -30}, {12000, -36}}));
    const std::vector<float> out = renderWithPreset("Vocal control", in);
    const int32_t length = at(0.5);
    const double rangeIn = toneDb(in, at(6.5), length, 1000) - toneDb(in, at(7.5), length, 1000);
    const double rangeOut = toneDb(out, at(6.5), length, 1000) - toneDb(out, at(7.5), length, 1000);
    EXPECT_LT(rangeOut, rangeIn - 6.0);
    for (double t : {6.5, 7.5}) {
        EXPECT_NEAR(toneDb(out, at(t), length, 50), toneDb(in, at(t), length, 50), 1.0) << t;
        EXPECT_NEAR(toneDb(out, at(t), length, 12000), toneDb(in, at(t), length, 12000), 1.0) << t;
    }
}

TEST(FactoryPresets, DeEsserTakesSibilantBurstsDownAndLeavesTheVoiceBodyAlone) {
    // A voice body of three tones between 200 Hz and 2 kHz, with 7 kHz bursts of 100 ms
    // twice a second.
    std::vector<float> in = tones(4.0, {{250, -20}, {700, -22}, {1800, -26}});
    addTo(in, tones(4.0, {{7000, -10}}, [](double t) { return std::fmod(t, 0.5) < 0.1 ? 1.0 : 0.0; }));
    const std::vector<float> out = renderWithPreset("De-esser", in);
    for (double burst = 2.0; burst < 4.0; burst += 0.5) {
        const int32_t from = at(burst + 0.01), length = at(0.09);
        EXPECT_LT(toneDb(out, from, length, 7000), toneDb(in, from, length, 7000) - 6.0) << burst;
    }
    for (double body : {250.0, 700.0, 1800.0})
        EXPECT_NEAR(toneDb(out, at(2.0), at(2.0), body), toneDb(in, at(2.0), at(2.0), body), 1.0) << body;
}

// Speech-like phrases: a voiced sound with syllables four times a second.
std::vector<float> speech(double seconds, double loudDb, double quietDb) {
    auto phrase = alternating(2.0, loudDb, quietDb);
    return tones(seconds, {{180, -3}, {360, -6}, {720, -9}, {1440, -15}}, [=](double t) {
        return phrase(t) * (0.4 + 0.6 * std::pow(std::sin(kTwoPi * 2.0 * t), 2.0));
    });
}

TEST(FactoryPresets, BroadcastVoiceLevellerBringsQuietAndLoudSpeakersTogether) {
    const std::vector<float> in = speech(8.0, -4.0, -24.0);
    const std::vector<float> out = renderWithPreset("Broadcast voice leveller", in);
    const int32_t length = at(1.5);
    const double rangeIn = rmsDb(in, at(4.5), length) - rmsDb(in, at(6.5), length);
    const double rangeOut = rmsDb(out, at(4.5), length) - rmsDb(out, at(6.5), length);
    EXPECT_LT(rangeOut, rangeIn - 10.0);
    EXPECT_LT(peakDb(out, at(2.0), at(6.0)), 0.0);
}

TEST(FactoryPresets, PodcastVoiceCutsRumbleAndLevelsTheVoice) {
    std::vector<float> in = speech(8.0, -4.0, -24.0);
    addTo(in, tones(8.0, {{35, -24}}));
    const std::vector<float> out = renderWithPreset("Podcast voice", in);
    const int32_t length = at(1.5);
    EXPECT_LT(toneDb(out, at(6.5), length, 35), toneDb(in, at(6.5), length, 35) - 6.0);
    const double rangeIn = toneDb(in, at(4.5), length, 720) - toneDb(in, at(6.5), length, 720);
    const double rangeOut = toneDb(out, at(4.5), length, 720) - toneDb(out, at(6.5), length, 720);
    EXPECT_LT(rangeOut, rangeIn - 8.0);
}

TEST(FactoryPresets, UpwardLiftRaisesQuietPassagesWhileLoudPeaksStay) {
    const std::vector<float> in = tones(8.0, {{220, -3}, {1500, -9}}, alternating(2.0, -1.0, -45.0));
    const std::vector<float> out = renderWithPreset("Upward lift of quiet detail", in);
    const int32_t length = at(1.0);
    EXPECT_GT(rmsDb(out, at(6.5), length), rmsDb(in, at(6.5), length) + 6.0);
    EXPECT_NEAR(peakDb(out, at(4.5), length), peakDb(in, at(4.5), length), 1.0);
}

TEST(FactoryPresets, DownwardExpanderLowersTheNoiseBetweenPhrasesAndKeepsThePhrases) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<float> in =
        tones(8.0, {{300, -20}, {900, -26}}, [](double t) { return std::fmod(t, 2.0) < 1.0 ? 1.0 : 0.0; });
    for (float& x : in)
        x += float(0.0017 * noise(random)); // -60 dB RMS
    const std::vector<float> out = renderWithPreset("Downward expander", in);
    for (double phrase : {4.0, 6.0}) {
        const int32_t length = at(0.6);
        EXPECT_NEAR(toneDb(out, at(phrase + 0.3), length, 300), toneDb(in, at(phrase + 0.3), length, 300),
                    1.5);
        EXPECT_LT(rmsDb(out, at(phrase + 1.4), length / 2), rmsDb(in, at(phrase + 1.4), length / 2) - 10.0);
    }
}

TEST(FactoryPresets, PeakCatcherHoldsPeaksNearMinusSixAndPassesWhatIsBelow) {
    std::vector<float> in = tones(4.0, {{440, -20}});
    addTo(in, tones(4.0, {{1000, 0}}, [](double t) { return std::fmod(t, 1.0) < 0.05 ? 1.0 : 0.0; }));
    const std::vector<float> out = renderWithPreset("Peak catcher", in);
    EXPECT_LT(peakDb(out, at(1.0), at(3.0)), -4.5);
    EXPECT_NEAR(toneDb(out, at(2.5), at(0.4), 440), toneDb(in, at(2.5), at(0.4), 440), 0.2);
}

} // namespace
