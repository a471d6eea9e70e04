// What a hostile host, project file or user can throw at an instance through the effect
// record: expanders that would run away, absurd stored values, samples at the edge of the
// float range, a single enormous sample in the RMS window, windows and sample rates that
// would claim gigabytes, calls that would hold the lock for long, and recovery after bursts of
// absurd samples.
#include "host_calls.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kUpwardBound = 1000; // +60 dB, the most a band's curve may raise its signal

struct Output {
    std::vector<float> left, right;
    double peak = 0;
    bool finite = true;
};

// Runs a signal through processReplacing in 512-frame blocks.
template <typename Signal> Output run(AEffect* effect, int frames, Signal signal) {
    Output out;
    out.left.resize(size_t(frames));
    out.right.resize(size_t(frames));
    std::vector<float> inLeft(static_cast<size_t>(frames)), inRight(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        signal(i, inLeft[size_t(i)], inRight[size_t(i)]);
    for (int start = 0; start < frames; start += 512) {
        const int n = frames - start < 512 ? frames - start : 512;
        float* in[2] = {inLeft.data() + start, inRight.data() + start};
        float* outs[2] = {out.left.data() + start, out.right.data() + start};
        effect->processReplacing(effect, in, outs, n);
    }
    for (int i = 0; i < frames; ++i)
        for (float x : {out.left[size_t(i)], out.right[size_t(i)]}) {
            out.finite &= std::isfinite(x);
            if (std::isfinite(x))
                out.peak = std::max(out.peak, double(std::fabs(x)));
        }
    return out;
}

auto sine(double amplitude, double hz = 440) {
    return [=](int i, float& l, float& r) { l = r = float(amplitude * std::sin(2 * kPi * hz * i / 44100)); };
}

auto noise(double amplitude, unsigned seed = 3) {
    auto state = std::make_shared<std::mt19937>(seed);
    return [=](int, float& l, float& r) {
        std::uniform_real_distribution<double> u(-amplitude, amplitude);
        l = float(u(*state));
        r = float(u(*state));
    };
}

AEffect* open() {
    return VSTPluginMain(nullptr);
}

// A block holding the given records, with grid, tabs, output gain and no solo.
std::vector<uint8_t> blockOf(const std::vector<RecordValues>& records, double outputGain = 1.0) {
    BlockBuilder b;
    b.i32(56).i32(int32_t(records.size()));
    for (const RecordValues& r : records)
        appendRecord(b, r);
    b.i32(1).i32(1).f64(outputGain).i32(0);
    return b.bytes;
}

TEST(HostileOutput, ExpandersInsideTheDeclaredRangesSaturate) {
    // Threshold 0 and ratio 0.1 (normalised -1/3, the lower end of the range the vendor
    // extension reports) on every band: unbounded, a 0.5 sine came out as +inf.
    AEffect* effect = open();
    for (int b = 0; b < 4; ++b) {
        effect->setParameter(effect, 12 * b + 2, 0.0f);
        effect->setParameter(effect, 12 * b + 3, -1.0f / 3);
    }
    Output out = run(effect, 22050, sine(0.5));
    EXPECT_TRUE(out.finite);
    // Four bands, each raised by at most +60 dB.
    EXPECT_LE(out.peak, 4 * 0.5 * kUpwardBound * 1.2);
    EXPECT_GT(out.peak, 50.0); // it does expand
    dispatch(effect, effClose);

    // One band at -30 dB, ratio 0.1: 1.7e10 before; now at most +60 dB above the input.
    effect = open();
    effect->setParameter(effect, 2, float(std::pow(10.0, -30.0 / 20) / 4));
    effect->setParameter(effect, 3, -1.0f / 3);
    out = run(effect, 22050, sine(0.5, 100));
    EXPECT_TRUE(out.finite);
    EXPECT_LE(out.peak, 0.5 * kUpwardBound * 1.2);
    dispatch(effect, effClose);
}

TEST(HostileOutput, ExpanderDrivenByItsOwnOutputSaturates) {
    // One band at 24000 Hz, threshold 0.05, ratio 0.3, feedback on, noise at 0.3: the loop
    // gave non-finite output within 238 samples.
    AEffect* effect = open();
    RecordValues band;
    band.frequency = 24000;
    band.threshold = 0.05;
    band.ratio = 0.3;
    band.flags = 4 | 16;
    setChunk(effect, blockOf({band}));
    ASSERT_EQ(instanceOf(effect)->bandCount(), 1);
    Output out = run(effect, 44100, noise(0.3));
    EXPECT_TRUE(out.finite);
    EXPECT_LE(out.peak, 0.3 * kUpwardBound * 1.01);
    EXPECT_GT(out.peak, 0.3 * 100); // driven into the bound
    dispatch(effect, effClose);
}

TEST(HostileOutput, AbsurdStoredValuesGiveFiniteOutput) {
    const double huge = 1e300;
    std::vector<RecordValues> cases(9);
    cases[0].gain = huge; // makeup times gain overflowed
    cases[1].gain = -huge;
    cases[2].threshold = huge; // knee edges at infinity
    cases[3].ratio = 0;        // an infinite slope
    cases[4].ratio = -5;
    cases[5].ratio = 1e-300;
    cases[6].knee = huge;
    cases[7].attackMs = INT32_MIN;
    cases[7].releaseMs = INT32_MAX;
    cases[8].gain = huge;
    cases[8].ratio = 0;
    cases[8].flags = 2 | 4 | 16; // program release and feedback too
    for (size_t c = 0; c < cases.size(); ++c) {
        AEffect* effect = open();
        std::vector<RecordValues> bands(3, cases[c]);
        bands[0].frequency = 300;
        bands[1].frequency = 3000;
        bands[2].frequency = 24000;
        setChunk(effect, blockOf(bands, c % 2 ? -1e308 : 1e308)); // and an absurd output gain
        Output out = run(effect, 8192, noise(0.5, unsigned(c)));
        EXPECT_TRUE(out.finite) << "case " << c;
        dispatch(effect, effClose);
    }
}

TEST(HostileOutput, OutputGainJumpThatWouldOverflowTheGlide) {
    AEffect* effect = open();
    setChunk(effect, blockOf({RecordValues{}}, -1e308));
    CompressorEffect* fx = instanceOf(effect);
    fx->setOutputGain(1e308); // the glide step would be -inf without the bound
    Output out = run(effect, 2048, sine(0.25));
    EXPECT_TRUE(out.finite);
    EXPECT_EQ(fx->outputGain, 1e6); // +120 dB
    dispatch(effect, effClose);
}

TEST(HostileOutput, SamplesAtTheEdgeOfTheFloatRangeStayFinite) {
    // Finite input near FLT_MAX, summed and raised by the bands, must not round to infinity.
    AEffect* effect = open();
    for (int b = 0; b < 4; ++b) {
        effect->setParameter(effect, 12 * b + 1, 1.0f); // +12 dB on every band
        effect->setParameter(effect, 12 * b + 3, 0.0f); // 1:1, so nothing holds the level down
    }
    Output out = run(effect, 4096, [](int i, float& l, float& r) {
        l = (i % 3 == 0) ? FLT_MAX : -FLT_MAX;
        r = (i % 7 < 3) ? FLT_MAX * 0.9f : -FLT_MAX;
    });
    EXPECT_TRUE(out.finite);
    EXPECT_EQ(out.peak, double(FLT_MAX));

    // The accumulating entry adds to what the host holds without overflowing either.
    std::vector<float> inLeft(64, FLT_MAX), inRight(64, FLT_MAX), outLeft(64, FLT_MAX),
        outRight(64, -FLT_MAX);
    float* in[2] = {inLeft.data(), inRight.data()};
    float* outs[2] = {outLeft.data(), outRight.data()};
    effect->process(effect, in, outs, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(std::isfinite(outLeft[size_t(i)]) && std::isfinite(outRight[size_t(i)])) << i;
    dispatch(effect, effClose);
}

TEST(HostileOutput, NonFiniteInputMayGiveNonFiniteOutputOnlyWhereItIs) {
    AEffect* effect = open();
    Output out = run(effect, 8192, [](int i, float& l, float& r) {
        l = r = float(0.3 * std::sin(i * 0.05));
        if (i == 1000)
            l = std::numeric_limits<float>::quiet_NaN();
    });
    // The NaN reaches the output around its own position, and the bands recover after it.
    for (int i = 4096; i < 8192; ++i)
        ASSERT_TRUE(std::isfinite(out.left[size_t(i)]) && std::isfinite(out.right[size_t(i)])) << i;
    dispatch(effect, effClose);
}

// Four bands at -30 dB, 4:1, RMS 5 ms.
AEffect* compressingInstance() {
    AEffect* effect = open();
    for (int b = 0; b < 4; ++b) {
        effect->setParameter(effect, 12 * b + 2, float(std::pow(10.0, -30.0 / 20) / 4));
        effect->setParameter(effect, 12 * b + 3, float(std::sqrt(3.0 / 99)));
        effect->setParameter(effect, 12 * b + 7, 5.0f / 250);
    }
    float silence[512] = {};
    float* channels[2] = {silence, silence};
    effect->processReplacing(effect, channels, channels, 512); // the settings' glide is over
    return effect;
}

TEST(HostileRms, DetectorRecoversFromASingleEnormousSample) {
    // A 0.3 sine with one sample of 1e8: the running sums lost the small squares while the
    // spike was in the window, and the output still differed from a clean run 59 s later.
    const int frames = 6 * 44100;
    const int spikeAt = 44100;
    AEffect* spiked = compressingInstance();
    AEffect* clean = compressingInstance();
    Output a = run(spiked, frames, [&](int i, float& l, float& r) {
        l = r = float(0.3 * std::sin(2 * kPi * 440 * i / 44100));
        if (i == spikeAt)
            l = r = 1e8f;
    });
    Output b = run(clean, frames, sine(0.3));
    // The envelope takes about 2.5 s to release from such a level (as it would in a fresh
    // instance); after that only the detector's sums could remember the sample, and they
    // must not.
    double worst = 0;
    for (int i = 5 * 44100; i < frames; ++i)
        worst = std::max(worst, double(std::fabs(a.left[size_t(i)] - b.left[size_t(i)])));
    EXPECT_LT(worst, 1e-6);
    // The sums themselves are the window's again, to float resolution.
    for (int k = 0; k < 4; ++k) {
        const BandState& s = instanceOf(spiked)->band(k)->state;
        const BandState& t = instanceOf(clean)->band(k)->state;
        EXPECT_NEAR(s.rmsSumLeft, t.rmsSumLeft, 1e-6 * t.rmsSumLeft + 1e-30) << k;
    }
    dispatch(spiked, effClose);
    dispatch(clean, effClose);
}

// Recovery after a burst from a broken source. Every band at -20 dB (4:1, or 0.5:1 for the
// expander) with release 150 ms; a 0.3 sine, a burst, then the sine again. Two seconds after
// the burst the output must be a fresh instance's (started on the sine after the burst):
// before, detectors pinned by the burst kept compressing bands nearly silent for ten seconds
// and more, and played the expander's sine at +50 dBFS.
namespace recovery {

constexpr int kBefore = 22050;     // sine before the burst
constexpr int kBurstLength = 4410; // 0.1 s
constexpr int kSettle = 2 * 44100; // after the burst, before the outputs are compared
constexpr int kCompared = 22050;

float ordinary(int i) {
    return float(0.3 * std::sin(2 * kPi * 440 * i / 44100));
}

struct Burst {
    const char* name;
    int length;
    float (*sample)(int i); // i counts from the start of the burst
};
const Burst kBursts[] = {
    {"+-1e30 square", kBurstLength, [](int i) { return (i / 50) % 2 ? 1e30f : -1e30f; }},
    {"+1e30 DC", kBurstLength, [](int) { return 1e30f; }},
    {"+-FLT_MAX square", kBurstLength, [](int i) { return (i / 37) % 2 ? FLT_MAX : -FLT_MAX; }},
    {"+Inf", kBurstLength, [](int) { return std::numeric_limits<float>::infinity(); }},
    {"one -Inf sample", 1, [](int) { return -std::numeric_limits<float>::infinity(); }},
    {"NaN or Inf every seventh sample", kBurstLength,
     [](int i) {
         if (i % 7 != 0)
             return ordinary(kBefore + i);
         return (i / 7) % 2 ? std::numeric_limits<float>::quiet_NaN()
                            : std::numeric_limits<float>::infinity();
     }},
};

struct Setting {
    const char* name;
    double ratio;
    int32_t rmsSizeMs, flags; // flags: 1 makeup, 2 program release, 4 feedback, 16 log scale
};
const Setting kSettings[] = {
    {"peak", 4, 0, 16},         {"RMS 5 ms", 4, 5, 16},        {"auto makeup", 4, 0, 17},
    {"feedback", 4, 0, 4 | 16}, {"program release", 4, 0, 18}, {"0.5:1 expander", 0.5, 0, 16},
};

AEffect* instanceWith(const Setting& setting) {
    std::vector<RecordValues> bands(4);
    const double frequencies[] = {200, 1000, 5000, 24000};
    for (size_t k = 0; k < 4; ++k) {
        bands[k].frequency = frequencies[k];
        bands[k].threshold = 0.1;
        bands[k].ratio = setting.ratio;
        bands[k].rmsSizeMs = setting.rmsSizeMs;
        bands[k].flags = setting.flags;
    }
    AEffect* effect = open();
    setChunk(effect, blockOf(bands));
    return effect;
}

} // namespace recovery

TEST(HostileRecovery, TwoSecondsAfterABurstTheOutputIsAFreshInstances) {
    using namespace recovery;
    for (const Setting& setting : kSettings)
        for (const Burst& burst : kBursts) {
            SCOPED_TRACE(std::string(setting.name) + " after " + burst.name);
            const int resume = kBefore + burst.length;
            AEffect* hit = instanceWith(setting);
            Output a = run(hit, resume + kSettle + kCompared, [&](int i, float& l, float& r) {
                l = r = i >= kBefore && i < resume ? burst.sample(i - kBefore) : ordinary(i);
            });
            AEffect* fresh = instanceWith(setting);
            Output b = run(fresh, kSettle + kCompared,
                           [&](int i, float& l, float& r) { l = r = ordinary(resume + i); });
            double worst = 0, loudest = 0;
            for (int i = kSettle; i < kSettle + kCompared; ++i) {
                const size_t at = size_t(resume + i);
                worst = std::max(worst, double(std::fabs(a.left[at] - b.left[size_t(i)])));
                worst = std::max(worst, double(std::fabs(a.right[at] - b.right[size_t(i)])));
                loudest = std::max(loudest, double(std::fabs(b.left[size_t(i)])));
            }
            EXPECT_LT(worst, 1e-3);
            EXPECT_GT(loudest, 0.05); // the fresh instance does play the sine
            dispatch(hit, effClose);
            dispatch(fresh, effClose);
        }
}

// A block of count bands, each asking for an RMS window of INT32_MAX ms.
std::vector<uint8_t> enormousWindows(int count) {
    std::vector<RecordValues> bands(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        bands[size_t(k)].frequency = 30.0 + 300.0 * k;
        bands[size_t(k)].rmsSizeMs = INT32_MAX;
    }
    return blockOf(bands);
}

// The processor time a call takes on this thread.
double millisecondsOf(const std::function<void()>& call) {
    const double start = threadMilliseconds();
    call();
    return threadMilliseconds() - start;
}

TEST(HostileMemory, RmsRingsStayWithinTheInstanceBudget) {
    // 64 bands of INT32_MAX ms in a 3.6 KB block claimed 431 MiB; 2048 bands, 13.5 GiB.
    for (int count : {64, 2048}) {
        AEffect* effect = open();
        CompressorEffect* fx = instanceOf(effect);
        setChunk(effect, enormousWindows(count));
        ASSERT_EQ(fx->bandCount(), count);
        const int64_t limit = fx->ringBudget.limitBytes;
        EXPECT_EQ(limit, int64_t(64) << 20);
        EXPECT_LE(fx->ringBudget.usedBytes, limit);
        EXPECT_LE(fx->ringBudget.peakBytes, limit);
        // The first band got its ten-second window; the budget shortened the later ones.
        EXPECT_EQ(fx->band(0)->state.rmsLength(), 441000);
        EXPECT_LT(fx->band(count - 1)->state.rmsLength(), 441000);
        int64_t sum = 0;
        for (int k = 0; k < count; ++k)
            sum += fx->band(k)->state.rmsRing.getSize();
        EXPECT_EQ(sum, fx->ringBudget.usedBytes);

        // A new rate resizes every ring within the same budget.
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, 1000000.0f);
        EXPECT_LE(fx->ringBudget.peakBytes, limit);
        Output out = run(effect, 2048, noise(0.5));
        EXPECT_TRUE(out.finite);
        dispatch(effect, effClose);
    }
}

TEST(HostileTime, NoHostCallHoldsTheLockForLong) {
    // effSetSampleRate(1e9) with 16 bands held the lock 0.7 s. With 64 bands, the largest
    // windows and the highest real rate, rate changes, suspends and state loads stay short.
    // (A bound check with a generous margin for a loaded machine, not a timing.)
    constexpr double kBoundMs = 50 * kSanitizerSlowdown;
    AEffect* effect = open();
    const std::vector<uint8_t> block = enormousWindows(64);
    double worst = 0;
    for (int round = 0; round < 3; ++round) {
        worst = std::max(worst, millisecondsOf([&] { setChunk(effect, block); }));
        worst =
            std::max(worst, millisecondsOf([&] { dispatch(effect, effSetSampleRate, 0, 0, nullptr, 1e6f); }));
        worst = std::max(worst, millisecondsOf([&] { dispatch(effect, effMainsChanged, 0, 0); }));
        worst =
            std::max(worst, millisecondsOf([&] { dispatch(effect, effSetSampleRate, 0, 0, nullptr, 1e9f); }));
        worst = std::max(
            worst, millisecondsOf([&] { dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f); }));
    }
    EXPECT_LT(worst, kBoundMs);
    EXPECT_EQ(instanceOf(effect)->sampleRate, 44100.0);
    dispatch(effect, effClose);
}

} // namespace
