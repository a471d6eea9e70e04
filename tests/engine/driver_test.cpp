#include "engine/compressor.h"
#include "engine_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

// With every band inactive the bands add back up to the input (up to float rounding and
// the crossover's tiny offsets), whatever the band layout.
void expectTransparent(MultibandEngine& engine, double sampleRate) {
    setAllActive(engine, false);
    StereoSignal in = musicLike(8192, sampleRate);
    StereoSignal out(in.frames());
    process(engine, in, out, 512);
    for (int i = 0; i < in.frames(); ++i) {
        ASSERT_NEAR(out.left[size_t(i)], in.left[size_t(i)], 1e-6) << "left " << i;
        ASSERT_NEAR(out.right[size_t(i)], in.right[size_t(i)], 1e-6) << "right " << i;
    }
}

TEST(DriverSum, InactiveBandsAreTransparentAt44100) {
    MultibandEngine engine;
    setUpDefaultEngine(engine, 44100);
    expectTransparent(engine, 44100);
}

TEST(DriverSum, InactiveBandsAreTransparentAt96000WithBandsNearTheTop) {
    MultibandEngine engine;
    setUpDefaultEngine(engine, 96000);
    // 23800 is a true low-pass at 96 kHz; 24000 counts as reaching half the sample rate.
    for (double f : {23800.0, 24000.0, 23900.0}) {
        Band* b = createBand(f);
        setBandSampleRate(*b, 96000);
        ASSERT_TRUE(engine.appendBand(b));
    }
    expectTransparent(engine, 96000);
}

TEST(DriverSum, HighestBandBelowHalfTheRateLeavesTheTopUncompressed) {
    MultibandEngine engine;
    setUpDefaultEngine(engine, 44100);
    // Without the 24 kHz band the signal above 5 kHz passes through as the remainder.
    ParameterListChange change;
    ASSERT_TRUE(engine.removeBand(3, change));
    EXPECT_EQ(change.first, 36);
    EXPECT_EQ(change.count, -12);
    expectTransparent(engine, 44100);
}

TEST(DriverSum, OnlyTheFirstTopBandTakesTheRemainder) {
    MultibandEngine engine;
    setUpDefaultEngine(engine, 44100);
    // Two more bands at or above 22050 Hz: summing each of them would double the top range.
    for (double f : {22050.0, 23000.0}) {
        Band* b = createBand(f);
        setBandSampleRate(*b, 44100);
        ASSERT_TRUE(engine.appendBand(b));
    }
    expectTransparent(engine, 44100);
    // 22050 Hz is the first top band in frequency order; the later ones only saw silence.
    EXPECT_GT(engine.band(4)->state.inputPeak, 0.0);
    EXPECT_EQ(engine.band(5)->state.inputPeak, 0.0);
    EXPECT_EQ(engine.band(3)->state.inputPeak, 0.0);
}

TEST(DriverGlide, OutputGainStepsEveryEightSamples) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    setAllActive(engine, false); // keep every band linear
    // A constant input: the crossover passes DC through the lowest band.
    StereoSignal warm(4410), sink(4410);
    for (int i = 0; i < warm.frames(); ++i)
        warm.left[size_t(i)] = warm.right[size_t(i)] = 1.0f;
    process(engine, warm, sink, 512);

    engine.outputGain = 0.5;
    StereoSignal in(64), out(64);
    for (int i = 0; i < 64; ++i)
        in.left[size_t(i)] = in.right[size_t(i)] = 1.0f;
    process(engine, in, out, 64);
    for (int step = 0; step < 8; ++step) {
        const double expected = 1.0 - 0.0625 * (step + 1);
        for (int i = step * 8; i < step * 8 + 8; ++i)
            ASSERT_NEAR(out.left[size_t(i)], expected, 1e-5) << "sample " << i;
    }
    EXPECT_EQ(engine.outputGain, 0.5);
    EXPECT_EQ(engine.outputGainPrevious, 0.5);
}

TEST(DriverGlide, SettingsGlideFromTheSnapshotAndEndAtTheTarget) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    Band& b = *engine.band(1);
    b.settings.threshold = 0.25;
    setBandFrequency(b, 2000, false);
    EXPECT_EQ(b.state.snapFrequency, 1000.0);
    EXPECT_EQ(b.state.snapThreshold, 1.0);

    StereoSignal in = musicLike(100, 44100), out(100);
    const float* inputs[2] = {in.left.data(), in.right.data()};
    float* outputs[2] = {out.left.data(), out.right.data()};
    engine.processWithGlide(inputs, outputs, 100);
    EXPECT_TRUE(b.state.gliding);
    EXPECT_DOUBLE_EQ(b.state.stepFrequency, 10.0);
    EXPECT_DOUBLE_EQ(b.state.stepThreshold, -0.0075);
    EXPECT_EQ(b.filter.frequency, 2000);
    EXPECT_EQ(b.settings.threshold, 0.25);
    // The end of the block is the new snapshot: the next block does not glide.
    EXPECT_EQ(b.state.snapFrequency, b.filter.frequency);
    engine.processWithGlide(inputs, outputs, 100);
    EXPECT_FALSE(b.state.gliding);
}

// A value to glide to: ordinary for its kind, or absurd (zero, denormal, huge).
double glideTarget(std::mt19937& random, int32_t kind) {
    std::uniform_real_distribution<double> unit(0, 1);
    switch (random() % 6) {
    case 0:
        return 0;
    case 1:
        return std::ldexp(1 + unit(random), -1040 + int(random() % 30)); // denormal
    case 2:
        return std::ldexp(1 + unit(random), 30 + int(random() % 990));
    default:
        break;
    }
    switch (kind) {
    case kSettingFrequency:
        return 20 * std::pow(1200.0, unit(random));
    case kSettingRatio:
        return 0.1 + 20 * unit(random);
    default:
        return std::pow(10.0, 1 - 5 * unit(random));
    }
}

// A change of a random band's gliding setting, or (kind 4) of the output gain.
void changeGlidedSetting(MultibandEngine& engine, std::mt19937& random) {
    const int32_t kind = int32_t(random() % 5);
    const double target = glideTarget(random, kind);
    if (kind == 4)
        engine.setOutputGain(target);
    else
        ASSERT_TRUE(changeBandSetting(*engine.band(int32_t(random() % 4)), kind, target));
}

TEST(DriverGlide, EveryGlidedSettingEndsOnTheValueThatWasSet) {
    // One to three blocks of awkward lengths; a second change comes before the first block or
    // after it (when it starts a glide of its own from where the first one ended).
    const int lengths[] = {1, 3, 7, 8, 9, 15, 64, 100, 511, 512, 513, 1000, 4097};
    StereoSignal in = musicLike(3 * 4097, 44100, 0.8);
    StereoSignal out(in.frames());
    std::mt19937 random(26);
    for (ProcessingPath path :
         {ProcessingPath::Reference, ProcessingPath::Sse2Kernel, ProcessingPath::Automatic})
        for (int trial = 0; trial < 400; ++trial) {
            SCOPED_TRACE(std::string(processingPathName(path)) + " trial " + std::to_string(trial));
            MultibandEngine engine;
            setUpDefaultEngine(engine);
            engine.processingPath = path;
            const int second = trial % 3; // none, before the first block, after it
            changeGlidedSetting(engine, random);
            if (second == 1)
                changeGlidedSetting(engine, random);
            std::vector<double> set = glidedSettings(engine);
            const int blocks = second == 2 ? 2 + int(random() % 2) : 1 + int(random() % 3);
            for (int k = 0, at = 0; k < blocks; ++k) {
                const int n = lengths[random() % (sizeof lengths / sizeof lengths[0])];
                const float* inputs[2] = {in.left.data() + at, in.right.data() + at};
                float* outputs[2] = {out.left.data() + at, out.right.data() + at};
                engine.processWithGlide(inputs, outputs, n);
                at += n;
                if (k == 0 && second == 2) {
                    expectSameSettings(glidedSettings(engine), set, "after the first glide");
                    changeGlidedSetting(engine, random);
                    set = glidedSettings(engine);
                }
            }
            expectSameSettings(glidedSettings(engine), set, "after the last glide");
            EXPECT_TRUE(sameBits(engine.outputGainPrevious, engine.outputGain));
            // The end of the glide is the snapshot, so the next block does not glide again.
            for (int32_t i = 0; i < engine.bandCount(); ++i) {
                const BandState& state = engine.band(i)->state;
                expectSameSettings(
                    {state.snapFrequency, state.snapGain, state.snapThreshold, state.snapRatio},
                    {set.begin() + 4 * i, set.begin() + 4 * i + 4}, "snapshot");
            }
        }
}

TEST(DriverGlide, StepsBeforeTheLastAreTheSnapshotPlusTheStepsSoFar) {
    // A slice of the pass kernel keeps every step's levels: without automatic makeup the
    // makeup is the step's gain, and the curve holds the inverse of the step's threshold.
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    engine.processingPath = ProcessingPath::Sse2Kernel;
    Band& b = *engine.band(1);
    ASSERT_TRUE(changeBandSetting(b, kSettingAutoMakeup, 0));
    const double gain = 0.3, threshold = 0.07;
    ASSERT_TRUE(changeBandSetting(b, kSettingGain, gain));
    ASSERT_TRUE(changeBandSetting(b, kSettingThreshold, threshold));
    const int n = 100; // twelve steps of eight samples and one of four
    StereoSignal in = musicLike(n, 44100), out(n);
    process(engine, in, out, n);

    const double gainStep = (gain - 1) / n, thresholdStep = (threshold - 1) / n;
    double gainSoFar = 1, thresholdSoFar = 1;
    for (int step = 0; step < 13; ++step) {
        const int m = step < 12 ? 8 : 4;
        gainSoFar += m * gainStep;
        thresholdSoFar += m * thresholdStep;
        const GlidedLevels& levels = b.state.glideLevels[step];
        if (step < 12) {
            EXPECT_TRUE(sameBits(levels.makeupGain, gainSoFar)) << step;
            EXPECT_TRUE(sameBits(levels.inverseThreshold, 1 / thresholdSoFar)) << step;
        } else {
            // The steps add up to other values; the last step takes the ones that were set.
            ASSERT_FALSE(sameBits(gainSoFar, gain));
            ASSERT_FALSE(sameBits(thresholdSoFar, threshold));
            EXPECT_TRUE(sameBits(levels.makeupGain, gain));
            EXPECT_TRUE(sameBits(levels.inverseThreshold, 1 / threshold));
        }
    }
}

TEST(DriverSolo, SoloedBandsAddUpToTheWholeOutput) {
    const int n = 4096;
    StereoSignal in = musicLike(n, 44100);
    MultibandEngine all;
    setUpDefaultEngine(all);
    setAllActive(all, false);
    StereoSignal whole(n);
    process(all, in, whole, 256);

    std::vector<double> sum(size_t(n), 0.0);
    for (int soloed = 0; soloed < 4; ++soloed) {
        MultibandEngine engine;
        setUpDefaultEngine(engine);
        setAllActive(engine, false);
        engine.soloing = true;
        engine.soloedBand = soloed;
        StereoSignal part(n);
        process(engine, in, part, 256);
        for (int i = 0; i < n; ++i)
            sum[size_t(i)] += part.left[size_t(i)];
    }
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(sum[size_t(i)], whole.left[size_t(i)], 2e-6) << i;
}

TEST(DriverSolo, SoloedBandPassesOnlyItsRange) {
    auto soloLevel = [](double frequency) {
        MultibandEngine engine;
        setUpDefaultEngine(engine);
        setAllActive(engine, false);
        engine.soloing = true;
        engine.soloedBand = 2; // the 1000-5000 Hz band
        StereoSignal in(22050), out(22050);
        for (int i = 0; i < in.frames(); ++i)
            in.left[size_t(i)] = in.right[size_t(i)] = float(0.5 * std::sin(2 * kPi * frequency * i / 44100));
        process(engine, in, out, 512);
        double peak = 0;
        for (int i = 11025; i < out.frames(); ++i)
            peak = std::max(peak, double(std::fabs(out.left[size_t(i)])));
        return peak;
    };
    EXPECT_GT(soloLevel(2500), 0.3);
    EXPECT_LT(soloLevel(60), 0.01);
    EXPECT_LT(soloLevel(15000), 0.05);
}

TEST(DriverSolo, NothingToSoloWritesSilence) {
    StereoSignal in = musicLike(256, 44100);
    for (int current : {-1, 7}) {
        MultibandEngine engine;
        setUpDefaultEngine(engine);
        engine.soloing = true;
        engine.soloedBand = current;
        StereoSignal out(256);
        std::fill(out.left.begin(), out.left.end(), 9.0f);
        std::fill(out.right.begin(), out.right.end(), 9.0f);
        process(engine, in, out, 256);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(out.left[size_t(i)], 0.0f);
    }

    MultibandEngine empty; // no bands at all: the input passes times the output gain
    empty.outputGain = empty.outputGainPrevious = 0.5;
    StereoSignal out(256);
    process(empty, in, out, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(out.right[size_t(i)], float(double(in.right[size_t(i)]) * 0.5));
    empty.soloing = true;
    process(empty, in, out, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(out.right[size_t(i)], 0.0f);
}

TEST(DriverBuffers, InPlaceEqualsSeparateBuffers) {
    const int n = 3000;
    StereoSignal in = musicLike(n, 44100, 0.9);
    MultibandEngine a, b;
    for (MultibandEngine* e : {&a, &b}) {
        setUpDefaultEngine(*e);
        for (int i = 0; i < 4; ++i) {
            e->band(i)->settings.threshold = 0.05;
            e->band(i)->settings.ratio = 4;
            updateBandCoefficients(*e->band(i), true);
        }
        e->outputGain = 0.7; // include an output-gain glide
    }
    StereoSignal separate(n);
    process(a, in, separate, 300);
    StereoSignal inPlace = in;
    process(b, inPlace, inPlace, 300);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(inPlace.left[size_t(i)], separate.left[size_t(i)]);
        ASSERT_EQ(inPlace.right[size_t(i)], separate.right[size_t(i)]);
    }
    bool compressed = false;
    for (int i = 0; i < n; ++i)
        compressed |= std::fabs(separate.left[size_t(i)] - 0.7f * in.left[size_t(i)]) > 0.01f;
    EXPECT_TRUE(compressed);
}

TEST(DriverMetering, OnlyWhileTheEditorIsOpen) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    StereoSignal in = musicLike(512, 44100), out(512);
    process(engine, in, out, 512);
    EXPECT_EQ(engine.inputPeakLeft, 0.0);
    EXPECT_EQ(engine.outputPeakRight, 0.0);

    engine.meteringWanted = true;
    process(engine, in, out, 512);
    float inPeak = 0, outPeak = 0;
    for (int i = 0; i < 512; ++i) {
        inPeak = std::max(inPeak, std::fabs(in.left[size_t(i)]));
        outPeak = std::max(outPeak, std::fabs(out.right[size_t(i)]));
    }
    EXPECT_EQ(engine.inputPeakLeft, double(inPeak));
    EXPECT_EQ(engine.outputPeakRight, double(outPeak));
}

TEST(DriverMetering, PeaksAreFoundAnywhereInABlockAndNotANumberNeverCounts) {
    // The peaks are taken many lanes at a time, with the rest of a block one by one.
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    engine.meteringWanted = true;
    for (int n : {1, 3, 4, 7, 8, 15, 16, 17, 33, 511}) {
        for (int at : {0, n / 2, n - 1}) {
            StereoSignal in(n), out(n);
            for (int i = 0; i < n; ++i)
                in.left[size_t(i)] = in.right[size_t(i)] = 0.25f * float(i % 3) - 0.3f;
            in.left[size_t(at)] = -0.875f;
            in.left[size_t(n - 1 - at)] = NAN;
            engine.inputPeakLeft = 0.5;
            process(engine, in, out, n);
            EXPECT_EQ(engine.inputPeakLeft, at == n - 1 - at ? 0.5 : 0.875) << n << " at " << at;
        }
    }
}

TEST(DriverMetering, ZeroOutputGainSilencesButBandsKeepRunning) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    engine.outputGain = engine.outputGainPrevious = 0;
    StereoSignal in = musicLike(1024, 44100), out(1024);
    process(engine, in, out, 512);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(out.left[size_t(i)], 0.0f);
    EXPECT_GT(engine.band(0)->state.inputPeak, 0.0);
    EXPECT_GT(engine.band(0)->state.outputPeak, 0.0);
}

TEST(DriverRobustness, BadHostBuffersAreNeverWrittenThrough) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    StereoSignal in = musicLike(64, 44100), out(64);
    std::fill(out.left.begin(), out.left.end(), 3.0f);
    std::fill(out.right.begin(), out.right.end(), 3.0f);

    const float* noInput[2] = {in.left.data(), nullptr};
    float* outputs[2] = {out.left.data(), out.right.data()};
    engine.processWithGlide(noInput, outputs, 64);
    EXPECT_EQ(out.left[10], 0.0f); // missing input: silence
    EXPECT_EQ(out.right[63], 0.0f);

    std::fill(out.left.begin(), out.left.end(), 3.0f);
    const float* inputs[2] = {in.left.data(), in.right.data()};
    engine.processWithGlide(inputs, outputs, -5);
    engine.processWithGlide(inputs, nullptr, 64);
    EXPECT_EQ(out.left[0], 3.0f);
    float* oneOutput[2] = {out.left.data(), nullptr};
    engine.processWithGlide(inputs, oneOutput, 64);
    EXPECT_EQ(out.left[0], 0.0f); // the channel that exists gets silence
}

int allowRealloc = 1;
void* refusingRealloc(void* p, size_t n) {
    return allowRealloc ? std::realloc(p, n) : nullptr;
}
void* refusingMalloc(size_t n) {
    return allowRealloc ? std::malloc(n) : nullptr;
}

TEST(DriverRobustness, FailedScratchAllocationOutputsSilence) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    StereoSignal in = musicLike(64, 44100), out(64);
    std::fill(out.left.begin(), out.left.end(), 3.0f);
    allowRealloc = 0;
    HeapBuffer::Allocator previous =
        HeapBuffer::setAllocatorForTesting({refusingRealloc, refusingMalloc, std::free});
    process(engine, in, out, 64);
    HeapBuffer::setAllocatorForTesting(previous);
    allowRealloc = 1;
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(out.left[size_t(i)], 0.0f);
    // Once memory is there again, audio flows.
    process(engine, in, out, 64);
    EXPECT_NE(out.left[32], 0.0f);
}

TEST(DriverRobustness, NonFiniteInputRecovers) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    for (int i = 0; i < 4; ++i) {
        engine.band(i)->settings.threshold = 0.05;
        updateBandCoefficients(*engine.band(i), true);
    }
    StereoSignal in = musicLike(44100, 44100), out(44100);
    in.left[1000] = std::numeric_limits<float>::quiet_NaN();
    in.right[2000] = std::numeric_limits<float>::infinity();
    process(engine, in, out, 512);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::isfinite(engine.band(i)->state.envelope));
        EXPECT_TRUE(std::isfinite(engine.band(i)->state.rmsSumLeft));
    }
    for (int i = 44100 - 1000; i < 44100; ++i)
        ASSERT_TRUE(std::isfinite(out.left[size_t(i)]) && std::isfinite(out.right[size_t(i)])) << i;
}

} // namespace

namespace {

// The whole output of one band, soloed, inactive, for a sine.
StereoSignal soloedSine(double bandFrequency, double sampleRate, double sineFrequency) {
    MultibandEngine engine;
    engine.sampleRate = sampleRate;
    Band* b = createBand(bandFrequency);
    setBandSampleRate(*b, sampleRate);
    b->settings.active = false;
    updateBandCoefficients(*b, true);
    engine.appendBand(b);
    engine.resetProcessingState();
    engine.soloing = true;
    engine.soloedBand = 0;
    StereoSignal in(4096), out(4096);
    for (int i = 0; i < 4096; ++i)
        in.left[size_t(i)] = in.right[size_t(i)] =
            float(0.5 * std::sin(2 * kPi * sineFrequency * i / sampleRate));
    process(engine, in, out, 512);
    for (int i = 0; i < 4096; ++i)
        out.right[size_t(i)] = in.left[size_t(i)]; // keep the input beside the output
    return out;
}

TEST(DriverTopBand, Above48kHzABandOver23800HzTakesEverythingLeft) {
    // At 96 kHz 23900 Hz counts as half the rate: the band is not filtered at all.
    StereoSignal top = soloedSine(23900, 96000, 40000);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(top.left[size_t(i)], top.right[size_t(i)]) << i;
    // 23800 Hz is a true low-pass there, and at 48 kHz 23900 Hz is one too.
    for (auto [band, rate, sine] :
         {std::tuple{23800.0, 96000.0, 40000.0}, std::tuple{23900.0, 48000.0, 23990.0}}) {
        StereoSignal split = soloedSine(band, rate, sine);
        double largest = 0;
        for (int i = 2048; i < 4096; ++i)
            largest = std::max(largest, double(std::fabs(split.left[size_t(i)])));
        EXPECT_LT(largest, 0.45) << band << " at " << rate;
    }
}

TEST(DriverBandList, AnAddedBandsSplitTakesEffectAtOnce) {
    // Splitting the 200 Hz band gives 110 Hz and a new 200 Hz band, with no glide: the first
    // block after the split sounds exactly like an instance built with those bands. The
    // settings are made before the split, so nothing after it takes a new snapshot.
    MultibandEngine split, built;
    setUpDefaultEngine(split);
    for (int k = 0; k < split.bandCount(); ++k) {
        split.band(k)->settings.threshold = 0.05;
        updateBandCoefficients(*split.band(k), true);
    }
    ParameterListChange change;
    ASSERT_TRUE(split.insertSplitBand(0, change));

    built.sampleRate = 44100;
    for (double f : {110.0, 1000.0, 5000.0, 24000.0, 200.0}) {
        Band* b = createBand(f);
        setBandSampleRate(*b, 44100);
        b->settings.threshold = 0.05;
        updateBandCoefficients(*b, true);
        built.appendBand(b);
    }
    built.resetProcessingState();
    StereoSignal in = musicLike(512, 44100), a(512), b(512);
    process(split, in, a, 512);
    process(built, in, b, 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(a.left[size_t(i)], b.left[size_t(i)]) << i;
    EXPECT_FALSE(split.band(0)->state.gliding);
}

} // namespace
