// Every width of the pass kernel against the reference path, bit for bit: band counts 0 to 20, awkward
// block sizes, every detector and switch, bands at and above half the sample rate, three
// sample rates, solo, and glides of settings and output gain between blocks (each of which
// ends on the values that were set).
#include "engine/compressor.h"
#include "engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

namespace {

// What the random bands may switch on: everything, or only what lets the kernel run its
// decoupled passes (no feedback detector, no program-dependent release).
enum class Features { All, FeedForward };

struct Scene {
    double sampleRate;
    int bands;
    unsigned seed;
    Features features = Features::All;
};

// Gives both engines the same random bands: most split, some at or above half the rate.
void buildBands(MultibandEngine& engine, const Scene& scene) {
    std::mt19937 random(scene.seed);
    engine.sampleRate = scene.sampleRate;
    engine.deleteAllBands();
    const double edges[] = {22050, 23800, 23900, 24000};
    for (int k = 0; k < scene.bands; ++k) {
        const double f = random() % 6 == 0
                             ? edges[random() % 4]
                             : 20 * std::pow(1200.0, std::uniform_real_distribution<double>(0, 1)(random));
        Band* b = createBand(f);
        setBandSampleRate(*b, scene.sampleRate);
        BandSettings& s = b->settings;
        s.threshold = std::pow(10.0, -std::uniform_real_distribution<double>(0, 50)(random) / 20);
        const double ratios[] = {0.3, 0.7, 1, 1.5, 2, 4, 10, 100};
        s.ratio = ratios[random() % 8];
        s.knee = random() % 3 == 0 ? 0 : std::uniform_real_distribution<double>(0, 18)(random);
        s.attackMs = int32_t(random() % 40);
        s.releaseMs = int32_t(random() % 400);
        s.rmsSizeMs = random() % 3 == 0 ? 0 : int32_t(random() % 12);
        s.programDependentRelease = random() % 3 == 0 && scene.features == Features::All;
        s.feedbackDetector = random() % 4 == 0 && scene.features == Features::All;
        s.autoMakeupGain = random() % 2 == 0;
        s.active = random() % 6 != 0;
        s.gain = std::uniform_real_distribution<double>(0.5, 2)(random);
        updateBandCoefficients(*b, true);
        ASSERT_TRUE(engine.appendBand(b));
    }
    engine.resetProcessingState();
}

void expectSameBits(const StereoSignal& a, const StereoSignal& b, const char* what) {
    ASSERT_EQ(std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(float)), 0) << what;
    ASSERT_EQ(std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(float)), 0) << what;
}

void expectSameState(MultibandEngine& a, MultibandEngine& b) {
    for (int k = 0; k < a.bandCount(); ++k) {
        const BandState &s = a.band(k)->state, &t = b.band(k)->state;
        ASSERT_EQ(std::memcmp(&s.envelope, &t.envelope, sizeof(double)), 0) << k;
        ASSERT_EQ(s.rmsSumLeft, t.rmsSumLeft) << k;
        ASSERT_EQ(s.gainMeter, t.gainMeter) << k;
        ASSERT_EQ(s.outputPeak, t.outputPeak) << k;
        ASSERT_EQ(s.releaseCoef, t.releaseCoef) << k;
        const CrossoverFilter &f = a.band(k)->filter, &g = b.band(k)->filter;
        ASSERT_EQ(std::memcmp(&f.left, &g.left, sizeof f.left), 0) << k;
        ASSERT_EQ(std::memcmp(&f.right, &g.right, sizeof f.right), 0) << k;
    }
}

// A signal with loud and quiet stretches, silence and one large spike.
StereoSignal material(int n, double sampleRate, unsigned seed) {
    StereoSignal s = musicLike(n, sampleRate, 0.8);
    std::mt19937 random(seed);
    for (int i = 0; i < n; ++i) {
        const double level = (i / 1500) % 3 == 0 ? 0.02 : ((i / 1500) % 3 == 1 ? 1.0 : 0.0);
        s.left[size_t(i)] = float(s.left[size_t(i)] * level);
        s.right[size_t(i)] = float(s.right[size_t(i)] * level * 0.5);
    }
    if (n > 100)
        s.left[size_t(random() % size_t(n))] = 300.0f;
    if (n > 3000) { // samples at the top of the float range switch on the saturating arithmetic
        s.left[size_t(random() % size_t(n))] = FLT_MAX;
        s.right[size_t(random() % size_t(n))] = -3e38f;
        // A stretch at the crossover's input offset, where the low-pass values fall below the
        // flush level, and samples that are not numbers.
        const size_t from = random() % size_t(n - 400);
        std::fill(s.left.begin() + long(from), s.left.begin() + long(from + 400), 1e-13f);
        std::fill(s.right.begin() + long(from), s.right.begin() + long(from + 400), 1e-13f);
        s.left[size_t(random() % size_t(n))] = NAN;
        s.right[size_t(random() % size_t(n))] = -INFINITY;
    }
    return s;
}

// Ordinary stretches between bursts from a broken source: +-1e30 and +-FLT_MAX squares, +1e30
// DC, infinities, NaN or infinity every seventh sample, and samples at +40 dBFS (where the
// detector holds its input), on either side of it and far beyond.
StereoSignal bursts(int n, double sampleRate, unsigned seed) {
    StereoSignal s = musicLike(n, sampleRate, 0.3);
    std::mt19937 random(seed);
    const float edges[] = {100.0f,
                           -100.0f,
                           std::nextafter(100.0f, 0.0f),
                           std::nextafter(100.0f, 200.0f),
                           -std::nextafter(100.0f, 200.0f),
                           1e5f};
    int kind = int(seed % 6);
    for (int start = 300; start < n; start += 700 + int(random() % 1500), kind = (kind + 1) % 6) {
        const int end = std::min(n, start + 1 + int(random() % 400));
        for (int i = start; i < end; ++i) {
            float& l = s.left[size_t(i)];
            float& r = s.right[size_t(i)];
            const bool high = (i / 23) % 2 == 0;
            switch (kind) {
            case 0:
                l = high ? 1e30f : -1e30f;
                r = -l;
                break;
            case 1:
                l = r = 1e30f;
                break;
            case 2:
                l = high ? FLT_MAX : -FLT_MAX;
                break;
            case 3:
                l = INFINITY;
                r = i == start ? -INFINITY : r;
                break;
            case 4:
                if (i % 7 == 0)
                    (i % 2 ? l : r) = (i / 7) % 2 ? NAN : -INFINITY;
                break;
            default:
                l = edges[random() % 6];
                r = edges[random() % 6] * 0.5f;
                break;
            }
        }
    }
    return s;
}

// What changes between blocks: nothing; every gliding setting, frequencies too; or all but
// the frequencies (gain, threshold, ratio across 1, and the output gain), which the pass
// kernel runs a slice of glide steps at a time, to ordinary targets or (Extreme) to zero,
// denormals and huge values as well.
enum class Glides { None, All, Levels, Extreme };

void changeSettings(MultibandEngine& engine, Glides glides, int blockIndex) {
    engine.setOutputGain(0.5 + 0.1 * (blockIndex % 5));
    for (int k = 0; k < engine.bandCount(); k += 2) {
        Band& band = *engine.band(k);
        changeBandSetting(band, kSettingThreshold, 0.01 * (1 + blockIndex % 7));
        if (glides == Glides::Extreme) {
            const double targets[] = {0, 4.9e-324, 2.2e-310, 1e-30, 0.3, 1, 2.5, 8.59e9, 1e150, 1.7e308};
            auto pick = [&](int salt) { return targets[unsigned(blockIndex * 7 + k * 3 + salt) % 10]; };
            changeBandSetting(band, kSettingGain, pick(0));
            changeBandSetting(band, kSettingThreshold, pick(4));
            changeBandSetting(band, kSettingRatio, pick(k % 2 ? 1 : 7));
            if (k % 4 == 0)
                engine.setOutputGain(pick(2));
        } else if (glides == Glides::All) {
            changeBandSetting(band, kSettingFrequency, 100.0 * (1 + (k + blockIndex) % 50));
            changeBandSetting(band, kSettingRatio, 1.0 + blockIndex % 3);
        } else {
            const double ratios[] = {0.5, 3, 1, 8};
            changeBandSetting(band, kSettingRatio, ratios[(k / 2 + blockIndex) % 4]);
            changeBandSetting(band, kSettingGain, 0.7 + 0.2 * (blockIndex % 4));
        }
    }
}

typedef StereoSignal (*SignalMaker)(int n, double sampleRate, unsigned seed);

void compareOn(ProcessingPath path, const Scene& scene, const std::vector<int>& blocks, Glides glides,
               bool solo, SignalMaker signal = material) {
    MultibandEngine reference, fast;
    buildBands(reference, scene);
    buildBands(fast, scene);
    reference.processingPath = ProcessingPath::Reference;
    fast.processingPath = path;
    if (solo && scene.bands > 0) {
        reference.soloing = fast.soloing = true;
        reference.soloedBand = fast.soloedBand = int32_t(scene.seed % unsigned(scene.bands));
    }
    int total = 0;
    for (int n : blocks)
        total += n;
    StereoSignal in = signal(total, scene.sampleRate, scene.seed);
    StereoSignal outReference(total), outFast(total);
    // An envelope resting on a knee's lower edge stays there while a threshold glides down, so
    // its bound is the highest lower edge the band has had: glides run between the values held
    // after consecutive blocks.
    std::vector<double> highestKneeLow(size_t(fast.bandCount()), 0.0);
    auto noteKneeLows = [&] {
        for (int k = 0; k < fast.bandCount(); ++k) {
            double& highest = highestKneeLow[size_t(k)];
            highest = std::max(highest, compressorConstants(*fast.band(k)).kneeLow);
        }
    };
    noteKneeLows();
    int at = 0, blockIndex = 0;
    for (int n : blocks) {
        if (glides != Glides::None && blockIndex % 2 == 1)
            for (MultibandEngine* e : {&reference, &fast})
                changeSettings(*e, glides, blockIndex);
        const float* inputs[2] = {in.left.data() + at, in.right.data() + at};
        float* refOut[2] = {outReference.left.data() + at, outReference.right.data() + at};
        float* fastOut[2] = {outFast.left.data() + at, outFast.right.data() + at};
        const std::vector<double> set = glidedSettings(reference);
        reference.processWithGlide(inputs, refOut, n);
        fast.processWithGlide(inputs, fastOut, n);
        // A glide is over with its block, on exactly the values that were set.
        expectSameSettings(glidedSettings(reference), set, "reference");
        expectSameSettings(glidedSettings(fast), set, processingPathName(path));
        if ((glides == Glides::Levels || glides == Glides::Extreme) && blockIndex % 2 == 1 &&
            scene.features == Features::FeedForward && isKernelPath(path) && scene.bands > 0) {
            EXPECT_EQ(fast.glidePath(n), path) << "the glide runs in slices";
        }
        // After every block: a meter that turns direction inside a block shows only then.
        expectSameState(reference, fast);
        noteKneeLows();
        at += n;
        ++blockIndex;
    }
    expectSameBits(outReference, outFast, processingPathName(path));
    // Whatever came in, the state holds finite numbers, and no envelope above the detector's
    // bound, unless it rests at the lower edge of a knee above that (now or earlier).
    for (int k = 0; k < fast.bandCount(); ++k) {
        const Band& band = *fast.band(k);
        for (double x : {band.filter.left.x1, band.filter.left.x2, band.filter.left.y1, band.filter.left.y2,
                         band.filter.right.x1, band.filter.right.x2, band.filter.right.y1,
                         band.filter.right.y2, band.state.rmsSumLeft, band.state.rmsSumRight})
            ASSERT_TRUE(std::isfinite(x)) << k;
        ASSERT_LE(band.state.envelope, std::max(100.000001, highestKneeLow[size_t(k)])) << k;
    }
}

std::vector<ProcessingPath> widePaths() {
    std::vector<ProcessingPath> paths;
    for (ProcessingPath p :
         {ProcessingPath::Sse2Kernel, ProcessingPath::Avx2Kernel, ProcessingPath::Avx512Kernel})
        if (processingPathAvailable(p))
            paths.push_back(p);
    return paths;
}

TEST(FastPath, SameBitsForEveryBandCountAndAwkwardBlocks) {
    const std::vector<int> blocks = {1, 7, 8, 9, 511, 4095, 64, 300, 4096};
    for (ProcessingPath path : widePaths())
        for (int bands = 0; bands <= 20; ++bands) {
            SCOPED_TRACE(std::string(processingPathName(path)) + " bands " + std::to_string(bands));
            compareOn(path, {44100, bands, unsigned(bands) * 7 + 1}, blocks, Glides::None, false);
        }
}

TEST(FastPath, SameBitsInTheDecoupledPassesForEveryGroupSize) {
    // Without feedback the kernel splits each chunk into passes and lags the bands four
    // samples apart; one and two vectors of bands, long and short blocks.
    const std::vector<int> blocks = {4096, 63, 64, 65, 1, 999, 512};
    for (ProcessingPath path : widePaths())
        for (int bands = 1; bands <= 17; ++bands) {
            SCOPED_TRACE(std::string(processingPathName(path)) + " bands " + std::to_string(bands));
            compareOn(path, {44100, bands, unsigned(bands) * 13 + 3, Features::FeedForward}, blocks,
                      Glides::None, false);
            compareOn(path, {96000, bands, unsigned(bands) * 17 + 5, Features::FeedForward}, blocks,
                      bands % 3 == 0 ? Glides::All : Glides::Levels, bands % 2 == 0);
        }
}

TEST(FastPath, SameBitsAtEveryRateWithGlidesAndSolo) {
    const std::vector<int> blocks = {512, 100, 7, 256, 1, 1000, 33, 512};
    for (ProcessingPath path : widePaths())
        for (double rate : {44100.0, 48000.0, 96000.0})
            for (int bands : {1, 3, 4, 5, 9, 16, 17})
                for (int variant = 0; variant < 6; ++variant) {
                    SCOPED_TRACE(std::string(processingPathName(path)) + " rate " + std::to_string(rate) +
                                 " bands " + std::to_string(bands) + " variant " + std::to_string(variant));
                    compareOn(path, {rate, bands, unsigned(bands * 31 + variant)}, blocks,
                              Glides(variant % 3), variant >= 3);
                }
}

TEST(FastPath, SameBitsWithGlidesToZeroDenormalAndHugeTargets) {
    const std::vector<int> blocks = {512, 13, 1, 600, 9, 4096, 64, 100, 7, 513};
    for (ProcessingPath path : widePaths())
        for (int bands : {1, 4, 5, 16}) {
            SCOPED_TRACE(std::string(processingPathName(path)) + " bands " + std::to_string(bands));
            compareOn(path, {44100, bands, unsigned(bands) * 19 + 2, Features::FeedForward}, blocks,
                      Glides::Extreme, false);
            compareOn(path, {48000, bands, unsigned(bands) * 23 + 4}, blocks, Glides::Extreme,
                      bands % 2 == 0);
        }
}

TEST(FastPath, TheAutomaticChoiceGivesTheSameBits) {
    // Mixed block lengths and band counts make it switch between the reference and a wide path.
    const std::vector<int> blocks = {512, 7, 64, 63, 1024, 8, 300};
    for (int bands : {4, 6, 12}) {
        compareOn(ProcessingPath::Automatic, {44100, bands, 5u}, blocks, Glides::All, false);
        compareOn(ProcessingPath::Automatic, {44100, bands, 6u, Features::FeedForward}, blocks,
                  Glides::Levels, false);
    }
    MultibandEngine engine;
    EXPECT_EQ(engine.processingPath, ProcessingPath::Automatic);
    EXPECT_EQ(chooseProcessingPath(8, 4), ProcessingPath::Reference);
}

// Bursts of absurd samples leave the paths' outputs and states alike, and every state finite.
TEST(FastPath, SameBitsThroughBurstsOfAbsurdSamples) {
    const std::vector<int> blocks = {4096, 1, 777, 128, 129, 2048, 64, 4000};
    for (ProcessingPath path : widePaths())
        for (int bands : {1, 3, 4, 5, 8, 9, 17})
            for (int variant = 0; variant < 4; ++variant) {
                SCOPED_TRACE(std::string(processingPathName(path)) + " bands " + std::to_string(bands) +
                             " variant " + std::to_string(variant));
                const Features features = variant % 2 ? Features::FeedForward : Features::All;
                compareOn(path,
                          {variant < 2 ? 44100.0 : 96000.0, bands, unsigned(bands * 11 + variant), features},
                          blocks, variant == 3 ? Glides::Levels : Glides::None, false, bursts);
            }
}

} // namespace
