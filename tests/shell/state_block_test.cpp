// The saved state block through effGetChunk and effSetChunk: the byte layout, the reading
// rules for short, long, truncated and corrupt blocks, a random round-trip property, and the
// state after a glide of the settings that were written.
#include "host_calls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// The block of a freshly created instance, written out field by field.
std::vector<uint8_t> defaultBlock() {
    BlockBuilder b;
    b.i32(56).i32(4);
    for (double f : {200.0, 1000.0, 5000.0, 24000.0}) {
        RecordValues r;
        r.frequency = f;
        appendRecord(b, r);
    }
    b.i32(1).i32(1).f64(1.0).i32(0).i32(3);
    return b.bytes;
}

// A block unlike the defaults in every field: three bands, grid and tabs off, -12 dB, solo 2,
// analyzer and gain curve off.
std::vector<uint8_t> customBlock(int32_t recordSize = 56) {
    BlockBuilder b;
    b.i32(recordSize).i32(3);
    const RecordValues records[3] = {
        {80.0, 0.5, 0.25, 4.0, 6.0, 3, 40, 10, 0x1f},
        {2500.0, 2.0, 0.125, 0.5, 12.5, 0, 900, 0, 0x08},
        {16000.0, 1.5, 0.0625, 100.0, 0.0, 250, 2000, 250, 0x05},
    };
    for (const RecordValues& r : records) {
        appendRecord(b, r);
        b.pad(size_t(recordSize - 56), 0xA5);
    }
    b.i32(0).i32(0).f64(0.25).i32(2).i32(0);
    return b.bytes;
}

struct InstanceView {
    int32_t numParams, bandCount, currentBand, soloCurrentBand, showGrid, showTabs, showAnalyzer, showGainCurve;
    double outputGain, outputGainPrevious;
    std::vector<double> frequencies;
};
InstanceView viewOf(AEffect* effect) {
    CompressorEffect* fx = instanceOf(effect);
    InstanceView v{effect->numParams, fx->bandCount(),   fx->currentBand,   fx->soloCurrentBand,
                   fx->showGrid,      fx->showTabs,      fx->showAnalyzer,  fx->showGainCurve,
                   fx->outputGain,    fx->outputGainPrevious, {}};
    for (int32_t i = 0; i < fx->bandCount(); ++i)
        v.frequencies.push_back(fx->band(i)->frequency());
    return v;
}

class StateBlockTest : public ::testing::Test {
protected:
    void SetUp() override { effect = open(); }
    void TearDown() override { dispatch(effect, effClose); }
    static AEffect* open() {
        AEffect* e = VSTPluginMain(nullptr);
        EXPECT_NE(e, nullptr);
        return e;
    }
    CompressorEffect* fx() { return instanceOf(effect); }
    // Leaves the instance in a state that no block field shares: two bands, grid and tabs
    // off, solo of band 1, output gain 0.5.
    void makeDistinct() {
        BlockBuilder b;
        b.i32(56).i32(2);
        appendRecord(b, {300.0, 1, 1, 3, 0, 15, 150, 5, 17});
        appendRecord(b, {9000.0, 1, 1, 3, 0, 15, 150, 5, 17});
        b.i32(7).i32(9).f64(0.5).i32(2);
        setChunk(effect, b.bytes);
        ASSERT_EQ(fx()->bandCount(), 2);
        fx()->editorNeedsRefresh = 0;
    }

    AEffect* effect = nullptr;
};

TEST_F(StateBlockTest, DefaultInstanceWritesTheDefaultBlockByteForByte) {
    std::vector<uint8_t> block = getChunk(effect);
    EXPECT_EQ(block.size(), 256u);
    EXPECT_EQ(block, defaultBlock());

    // The address stays valid and is the instance's own buffer until the next request.
    void* address = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 1, 0, &address), 256);
    EXPECT_EQ(address, fx()->stateBuffer.get());
}

TEST_F(StateBlockTest, FlagsWordPerSwitch) {
    // Bit 0 makeup, 1 program dependent release, 2 feedback, 3 bypassed, 4 log-scale frequency.
    effect->setParameter(effect, 8, 0.0f);
    effect->setParameter(effect, 12 + 9, 1.0f);
    effect->setParameter(effect, 24 + 10, 1.0f);
    effect->setParameter(effect, 36 + 11, 0.0f);
    fx()->band(3)->settings.logScaleAutomation = false;
    std::vector<uint8_t> block = getChunk(effect);
    auto flagsOf = [&](int band) { return block[size_t(8 + 56 * band + 52)]; };
    EXPECT_EQ(flagsOf(0), 0x10);
    EXPECT_EQ(flagsOf(1), 0x13);
    EXPECT_EQ(flagsOf(2), 0x15);
    EXPECT_EQ(flagsOf(3), 0x09);
}

TEST_F(StateBlockTest, CustomBlockLoadsEveryField) {
    makeDistinct();
    const double peak = fx()->inputPeakLeft = 0.75;
    setChunk(effect, customBlock());
    InstanceView v = viewOf(effect);
    EXPECT_EQ(v.numParams, 36);
    EXPECT_EQ(v.frequencies, (std::vector<double>{80.0, 2500.0, 16000.0}));
    EXPECT_EQ(v.showGrid, 0);
    EXPECT_EQ(v.showTabs, 0);
    EXPECT_EQ(v.outputGain, 0.25);
    EXPECT_EQ(v.outputGainPrevious, 0.25);
    EXPECT_EQ(v.currentBand, 1);
    EXPECT_EQ(v.soloCurrentBand, 1);
    EXPECT_EQ(v.showAnalyzer, 0);
    EXPECT_EQ(v.showGainCurve, 0);
    EXPECT_EQ(fx()->editorNeedsRefresh, 1);
    EXPECT_EQ(fx()->inputPeakLeft, peak); // loading is no processing reset

    const BandSettings& s = fx()->band(1)->settings;
    EXPECT_EQ(s.gain, 2.0);
    EXPECT_EQ(s.threshold, 0.125);
    EXPECT_EQ(s.ratio, 0.5);
    EXPECT_EQ(s.knee, 12.5);
    EXPECT_EQ(s.attackMs, 0);
    EXPECT_EQ(s.releaseMs, 900);
    EXPECT_EQ(s.rmsSizeMs, 0);
    EXPECT_FALSE(s.autoMakeupGain);
    EXPECT_FALSE(s.programDependentRelease);
    EXPECT_FALSE(s.feedbackDetector);
    EXPECT_FALSE(s.active);
    EXPECT_FALSE(s.logScaleAutomation);
    const BandSettings& t = fx()->band(0)->settings;
    EXPECT_TRUE(t.autoMakeupGain && t.programDependentRelease && t.feedbackDetector && !t.active &&
                t.logScaleAutomation);
    const BandSettings& u = fx()->band(2)->settings;
    EXPECT_TRUE(u.autoMakeupGain && !u.programDependentRelease && u.feedbackDetector && u.active &&
                !u.logScaleAutomation);

    // The bands take a new snapshot: nothing glides after a load.
    const BandState& st = fx()->band(0)->state;
    EXPECT_EQ(st.snapGain, 0.5);
    EXPECT_EQ(st.snapFrequency, 80.0);
    EXPECT_EQ(st.rmsLength(), 441); // 10 ms at 44100 Hz

    EXPECT_EQ(getChunk(effect), customBlock());
}

// The graph's analyzer and gain curve: one flags word after the solo field. Each switch
// round-trips on its own; a block of an older version leaves both as they are; and a reader that
// knows only the fields before it (older versions read only what they know) gets exactly what
// it would from the block without it.
TEST_F(StateBlockTest, ViewFlagsFollowTheSoloFieldAndOlderLayoutsIgnoreThem) {
    for (int32_t analyzer : {0, 1})
        for (int32_t curve : {0, 1}) {
            fx()->showAnalyzer = analyzer;
            fx()->showGainCurve = curve;
            const std::vector<uint8_t> block = getChunk(effect);
            ASSERT_EQ(block.size(), 256u);
            EXPECT_EQ(block[252], uint8_t(analyzer | curve << 1));
            EXPECT_EQ(std::vector<uint8_t>(block.begin() + 253, block.end()), std::vector<uint8_t>(3, 0));
            AEffect* other = open();
            instanceOf(other)->showAnalyzer = !analyzer;
            instanceOf(other)->showGainCurve = !curve;
            setChunk(other, block);
            EXPECT_EQ(instanceOf(other)->showAnalyzer, analyzer);
            EXPECT_EQ(instanceOf(other)->showGainCurve, curve);
            dispatch(other, effClose);
        }

    // Bits beyond the two are ignored, as in the band flags.
    std::vector<uint8_t> block = customBlock();
    block[block.size() - 4] = 0xFE;
    block[block.size() - 1] = 0x80;
    setChunk(effect, block);
    EXPECT_EQ(fx()->showAnalyzer, 0);
    EXPECT_EQ(fx()->showGainCurve, 1);

    // An older block (it ends with the solo field) keeps both, whichever way they are set.
    const std::vector<uint8_t> full = customBlock();
    for (int32_t on : {0, 1}) {
        fx()->showAnalyzer = on;
        fx()->showGainCurve = !on;
        setChunk(effect, full, full.size() - 4);
        EXPECT_EQ(fx()->showAnalyzer, on);
        EXPECT_EQ(fx()->showGainCurve, !on);
    }

    // Everything but the view flags reads the same with and without them.
    AEffect* withFlags = open();
    AEffect* withoutFlags = open();
    setChunk(withFlags, full);
    setChunk(withoutFlags, full, full.size() - 4);
    instanceOf(withoutFlags)->showAnalyzer = 0;
    instanceOf(withoutFlags)->showGainCurve = 0;
    EXPECT_EQ(getChunk(withFlags), getChunk(withoutFlags));
    dispatch(withFlags, effClose);
    dispatch(withoutFlags, effClose);
}

TEST_F(StateBlockTest, BandsTakeTheInstanceSampleRate) {
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    setChunk(effect, customBlock());
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fx()->band(i)->state.sampleRate, 48000.0);
        EXPECT_EQ(fx()->band(i)->filter.sampleRate, 48000.0);
    }
    EXPECT_EQ(fx()->band(0)->state.rmsLength(), 480);
}

TEST_F(StateBlockTest, LongerRecordsUseTheirFirst56Bytes) {
    setChunk(effect, customBlock(64));
    EXPECT_EQ(getChunk(effect), customBlock(56));
    setChunk(effect, customBlock(1000));
    EXPECT_EQ(getChunk(effect), customBlock(56));
}

TEST_F(StateBlockTest, FlagBitsBeyondTheFiveAreIgnored) {
    BlockBuilder b;
    b.i32(56).i32(1);
    appendRecord(b, {1000, 1, 1, 2, 0, 15, 150, 5, int32_t(0xffffffe0u | 0x11)});
    b.i32(1).i32(1).f64(1.0).i32(0);
    setChunk(effect, b.bytes);
    std::vector<uint8_t> written = getChunk(effect);
    ASSERT_EQ(written.size(), 32u + 56u);
    EXPECT_EQ(written[8 + 52], 0x11);
    EXPECT_EQ(written[8 + 53] | written[8 + 54] | written[8 + 55], 0);
}

TEST_F(StateBlockTest, StoredValuesAreTakenAsTheyAreButFrequencySoloAndNegativeLevelsAreClamped) {
    BlockBuilder b;
    b.i32(56).i32(3);
    appendRecord(b, {5.0, 1e300, -3.0, -7.0, 500.0, -1, 100000, -20, 0});
    appendRecord(b, {1e9, -2.0, 0, 0.1, -6.0, 0, 0, 0, 0});
    appendRecord(b, {-1e300, 1, 1, 2, 0, 15, 150, 5, 0});
    b.i32(-4).i32(12345).f64(-2.0).i32(9);
    setChunk(effect, b.bytes);
    InstanceView v = viewOf(effect);
    EXPECT_EQ(v.frequencies, (std::vector<double>{20.0, 24000.0, 20.0}));
    const BandSettings& s = fx()->band(0)->settings;
    EXPECT_EQ(s.gain, 1e300);
    EXPECT_EQ(s.threshold, 0.0); // a negative level is silence
    EXPECT_EQ(fx()->band(1)->settings.gain, 0.0);
    EXPECT_EQ(fx()->band(1)->settings.knee, -6.0);
    EXPECT_EQ(s.ratio, -7.0);
    EXPECT_EQ(s.knee, 500.0);
    EXPECT_EQ(s.attackMs, -1);
    EXPECT_EQ(s.releaseMs, 100000);
    EXPECT_EQ(s.rmsSizeMs, -20);
    EXPECT_EQ(v.showGrid, -4);
    EXPECT_EQ(v.showTabs, 12345);
    EXPECT_EQ(v.outputGain, -2.0);
    EXPECT_EQ(v.currentBand, 2); // solo 9 of three bands: the last band
    EXPECT_EQ(v.soloCurrentBand, 1);

    for (int32_t solo : {-5, INT32_MIN}) {
        b.bytes.resize(b.bytes.size() - 4);
        b.i32(solo);
        setChunk(effect, b.bytes);
        EXPECT_EQ(fx()->currentBand, 0) << solo;
        EXPECT_EQ(fx()->soloCurrentBand, 1) << solo;
    }
    b.bytes.resize(b.bytes.size() - 4);
    b.i32(INT32_MAX);
    setChunk(effect, b.bytes);
    EXPECT_EQ(fx()->currentBand, 2);
}

TEST_F(StateBlockTest, NonFiniteRealsLoadTheirDefaults) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    BlockBuilder b;
    b.i32(56).i32(2);
    appendRecord(b, {nan, nan, inf, -inf, nan, 1, 2, 3, 0});
    appendRecord(b, {inf, -inf, nan, nan, inf, 1, 2, 3, 0});
    b.i32(1).i32(1).f64(nan).i32(0);
    setChunk(effect, b.bytes);
    for (int32_t i = 0; i < 2; ++i) {
        const Band& band = *fx()->band(i);
        EXPECT_EQ(band.frequency(), 24000.0) << i;
        EXPECT_EQ(band.settings.gain, 1.0) << i;
        EXPECT_EQ(band.settings.threshold, 1.0) << i;
        EXPECT_EQ(band.settings.ratio, 2.0) << i;
        EXPECT_EQ(band.settings.knee, 0.0) << i;
        EXPECT_EQ(band.settings.attackMs, 1) << i;
    }
    EXPECT_EQ(fx()->outputGain, 1.0);

    b.bytes.resize(b.bytes.size() - 12);
    b.f64(-inf).i32(0);
    fx()->outputGain = 0.5;
    setChunk(effect, b.bytes);
    EXPECT_EQ(fx()->outputGain, 1.0);
    EXPECT_EQ(fx()->outputGainPrevious, 1.0);
}

TEST_F(StateBlockTest, ShortBlocks) {
    makeDistinct();
    const InstanceView before = viewOf(effect);
    std::vector<uint8_t> block = customBlock();

    setChunk(effect, block, 48);
    InstanceView v = viewOf(effect);
    EXPECT_EQ(v.outputGain, 0.5);
    EXPECT_EQ(v.soloCurrentBand, 1);
    EXPECT_EQ(v.currentBand, 1);
    EXPECT_EQ(fx()->editorNeedsRefresh, 0);

    // 49 bytes with record size 40: the header is refused, but solo and gain are reset.
    BlockBuilder b;
    b.i32(40).i32(1).pad(41, 0);
    setChunk(effect, b.bytes);
    v = viewOf(effect);
    EXPECT_EQ(v.frequencies, before.frequencies);
    EXPECT_EQ(v.numParams, 24);
    EXPECT_EQ(v.outputGain, 1.0);
    EXPECT_EQ(v.outputGainPrevious, 1.0);
    EXPECT_EQ(v.soloCurrentBand, 0);
    EXPECT_EQ(v.currentBand, 0);
    EXPECT_EQ(v.showGrid, before.showGrid);
    EXPECT_EQ(v.showTabs, before.showTabs);
    EXPECT_EQ(fx()->editorNeedsRefresh, 1);
}

TEST_F(StateBlockTest, HeadersThatWouldWrapIn32BitsAreRefused) {
    makeDistinct();
    const InstanceView before = viewOf(effect);
    struct {
        int32_t recordSize, count;
    } headers[] = {
        {0x40000000, 4},           // N x R = 2^32
        {56, 76695845},            // N x R = 2^32 + 24
        {INT32_MAX, 2},            // N x R near 2^32
        {INT32_MIN, 1},            // negative record size
        {-56, -1},                 // both negative: positive product
        {56, -1},                  // negative count
        {56, INT32_MIN},           // most negative count
        {0x7fffffff, 0x7fffffff},  // huge product
        {55, 1},                   // record size below 56
    };
    for (auto h : headers) {
        BlockBuilder b;
        b.i32(h.recordSize).i32(h.count);
        appendRecord(b, {});
        b.i32(1).i32(1).f64(1.0).i32(1);
        setChunk(effect, b.bytes);
        InstanceView v = viewOf(effect);
        EXPECT_EQ(v.frequencies, before.frequencies) << h.recordSize << " " << h.count;
        EXPECT_EQ(v.numParams, 24);
        EXPECT_EQ(v.showGrid, before.showGrid);
        EXPECT_EQ(v.soloCurrentBand, 0);
    }
}

TEST_F(StateBlockTest, BlockWithoutBands) {
    BlockBuilder b;
    b.i32(56).i32(0).i32(1).i32(0).f64(0.5).i32(3).pad(30, 0);
    setChunk(effect, b.bytes);
    InstanceView v = viewOf(effect);
    EXPECT_EQ(v.bandCount, 0);
    EXPECT_EQ(v.numParams, 0);
    EXPECT_EQ(v.currentBand, -1);
    EXPECT_EQ(v.soloCurrentBand, 1);
    EXPECT_EQ(v.outputGain, 0.5);
    EXPECT_EQ(askText(effect, effGetParamName, 0).result, 0);
    EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
    effect->setParameter(effect, 0, 0.5f);

    // Soloing no band is heard as silence; nothing indexes the empty band list.
    std::vector<float> in(64, 0.5f), outLeft(64, 1.0f), outRight(64, 1.0f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect->processReplacing(effect, inputs, outputs, 64);
    EXPECT_EQ(outLeft, std::vector<float>(64, 0.0f));
    EXPECT_EQ(outRight, std::vector<float>(64, 0.0f));

    // Written back: no bands, no solo since no band is current, and the view flags as the
    // zero padding after the solo field set them (both off).
    BlockBuilder expected;
    expected.i32(56).i32(0).i32(1).i32(0).f64(0.5).i32(0).i32(0);
    EXPECT_EQ(getChunk(effect), expected.bytes);
}

// Every prefix of a valid block, each read into an instance that differs from it in every
// field, against the reading rules worked out by length.
TEST_F(StateBlockTest, EveryTruncationLength) {
    const std::vector<uint8_t> full = customBlock();
    ASSERT_EQ(full.size(), 32u + 3 * 56u);
    const size_t recordsEnd = 8 + 3 * 56;
    for (size_t length = 0; length <= full.size(); ++length) {
        AEffect* target = open();
        std::swap(target, effect);
        makeDistinct();
        const InstanceView before = viewOf(effect);
        setChunk(effect, full, length);
        const InstanceView v = viewOf(effect);
        SCOPED_TRACE(length);

        if (length <= 48) {
            EXPECT_EQ(v.outputGain, before.outputGain);
            EXPECT_EQ(v.soloCurrentBand, before.soloCurrentBand);
            EXPECT_EQ(v.currentBand, before.currentBand);
            EXPECT_EQ(v.frequencies, before.frequencies);
            EXPECT_EQ(fx()->editorNeedsRefresh, 0);
        } else {
            EXPECT_EQ(fx()->editorNeedsRefresh, 1);
            const bool bandsFit = length >= recordsEnd;
            EXPECT_EQ(v.frequencies,
                      bandsFit ? (std::vector<double>{80.0, 2500.0, 16000.0}) : before.frequencies);
            EXPECT_EQ(v.numParams, 12 * int32_t(v.frequencies.size()));
            const size_t tail = bandsFit ? length - recordsEnd : 0;
            EXPECT_EQ(v.showGrid, tail >= 4 ? 0 : before.showGrid);
            EXPECT_EQ(v.showTabs, tail >= 8 ? 0 : before.showTabs);
            EXPECT_EQ(v.outputGain, tail >= 16 ? 0.25 : 1.0);
            EXPECT_EQ(v.outputGainPrevious, v.outputGain);
            EXPECT_EQ(v.soloCurrentBand, tail >= 20 ? 1 : 0);
            EXPECT_EQ(v.currentBand, tail >= 20 ? 1 : 0);
            // Older blocks end before the view flags: without them both stay as they were.
            EXPECT_EQ(v.showAnalyzer, tail >= 24 ? 0 : before.showAnalyzer);
            EXPECT_EQ(v.showGainCurve, tail >= 24 ? 0 : before.showGainCurve);
        }
        dispatch(effect, effClose);
        effect = target;
    }
}

// Damaged blocks of every kind: whatever is read, the instance stays consistent and writes a
// block that reads back to itself.
TEST_F(StateBlockTest, CorruptBlocksLeaveAConsistentInstance) {
    std::mt19937 random(20261207);
    const std::vector<uint8_t> valid = customBlock();
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<uint8_t> block = valid;
        const int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i) {
            size_t at = random() % block.size();
            // Keep the RMS window small so a damaged record asks for no gigantic ring.
            const size_t inRecord = (at - 8) % 56;
            if (at >= 8 && at < 8 + 3 * 56 && inRecord >= 48 && inRecord < 52)
                continue;
            block[at] = uint8_t(random());
        }
        block.resize(random() % 4 ? block.size() : random() % (block.size() + 1));
        setChunk(effect, block);

        CompressorEffect& inst = *fx();
        ASSERT_EQ(effect->numParams, 12 * inst.bandCount());
        for (int32_t i = 0; i < inst.bandCount(); ++i) {
            double f = inst.band(i)->frequency();
            ASSERT_TRUE(f >= 20.0 && f <= 24000.0) << f;
        }
        ASSERT_TRUE(std::isfinite(inst.outputGain));
        ASSERT_TRUE(inst.soloCurrentBand == 0 || inst.currentBand < inst.bandCount());
        std::vector<uint8_t> written = getChunk(effect);
        AEffect* other = open();
        setChunk(other, written);
        ASSERT_EQ(getChunk(other), written);
        dispatch(other, effClose);
    }
}

// Random bands and settings, set through the host parameters and the block, survive a round
// trip into a fresh instance byte for byte and parameter for parameter.
TEST_F(StateBlockTest, RoundTripProperty) {
    std::mt19937 random(4242);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int trial = 0; trial < 60; ++trial) {
        const int32_t bands = 1 + int32_t(random() % 12);
        BlockBuilder b;
        b.i32(56).i32(bands);
        for (int32_t i = 0; i < bands; ++i) {
            RecordValues r;
            r.frequency = 20 + unit(random) * 23980;
            r.gain = unit(random) * 8;
            r.threshold = std::exp(-unit(random) * 20);
            r.ratio = 0.1 + unit(random) * 99.9;
            r.knee = unit(random) * 30;
            r.attackMs = int32_t(random() % 400);
            r.releaseMs = int32_t(random() % 3000);
            r.rmsSizeMs = int32_t(random() % 300);
            r.flags = int32_t(random() % 32);
            appendRecord(b, r);
        }
        const int32_t solo = int32_t(random() % uint32_t(bands + 1));
        b.i32(int32_t(random() % 2)).i32(int32_t(random() % 2)).f64(unit(random) * 4).i32(solo);
        setChunk(effect, b.bytes);

        // Then some host parameter writes on top.
        for (int writes = 0; writes < 20; ++writes)
            effect->setParameter(effect, int32_t(random() % uint32_t(12 * bands)), float(unit(random) * 1.2 - 0.1));

        const std::vector<uint8_t> first = getChunk(effect);
        ASSERT_EQ(first.size(), 32u + 56u * size_t(bands));
        AEffect* fresh = open();
        setChunk(fresh, first);
        const std::vector<uint8_t> second = getChunk(fresh);
        EXPECT_EQ(first, second) << "trial " << trial;
        ASSERT_EQ(fresh->numParams, effect->numParams);
        for (int32_t i = 0; i < effect->numParams; ++i) {
            EXPECT_EQ(fresh->getParameter(fresh, i), effect->getParameter(effect, i)) << i;
            EXPECT_EQ(parameterDisplay(fresh, i), parameterDisplay(effect, i)) << i;
            EXPECT_EQ(parameterName(fresh, i), parameterName(effect, i)) << i;
        }
        InstanceView a = viewOf(effect), c = viewOf(fresh);
        EXPECT_EQ(a.frequencies, c.frequencies);
        EXPECT_EQ(a.outputGain, c.outputGain);
        EXPECT_EQ(a.showGrid, c.showGrid);
        EXPECT_EQ(a.showTabs, c.showTabs);
        EXPECT_EQ(a.soloCurrentBand, c.soloCurrentBand);
        if (a.soloCurrentBand) {
            EXPECT_EQ(a.currentBand, c.currentBand);
        }
        dispatch(fresh, effClose);
    }
}

// What a host reads back of an instance: its state block and every parameter, bit for bit.
struct HostView {
    std::vector<uint8_t> block;
    std::vector<uint32_t> parameters;
};
HostView hostViewOf(AEffect* effect) {
    HostView view{getChunk(effect), {}};
    for (int32_t i = 0; i < effect->numParams; ++i) {
        const float value = effect->getParameter(effect, i);
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        view.parameters.push_back(bits);
    }
    return view;
}

// Runs n frames of a steady tone and noise from frame `at` on, replacing or accumulating.
void processFrames(AEffect* effect, int32_t at, int32_t n, bool accumulate) {
    const size_t frames = size_t(n);
    std::vector<float> left(frames), right(frames), outLeft(frames), outRight(frames);
    uint32_t noise = uint32_t(at) * 2654435761u + 1;
    for (int32_t i = 0; i < n; ++i) {
        noise = noise * 1664525u + 1013904223u;
        left[size_t(i)] = float(0.7 * std::sin((at + i) * 0.043) + double(noise >> 8) / double(1 << 25));
        right[size_t(i)] = float(0.4 * std::sin((at + i) * 0.31));
    }
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    if (accumulate)
        effect->process(effect, in, out, n);
    else
        effect->processReplacing(effect, in, out, n);
}

// Writes a gliding setting of a random band, ordinary or absurd (zero, denormal, huge): as
// the host does (a normalised value) or as the editor does (in the setting's unit); or the
// editor's output gain.
void writeGlidingSetting(AEffect* effect, std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    const int32_t band = int32_t(random() % 4);
    const int32_t kind = int32_t(random() % 5);
    const double absurd[] = {0, 1e-45, 1.2e-41, 4.9e-324, 2.2e-310, 2.1475e9, 1e30, 1e300};
    const bool isAbsurd = random() % 3 == 0;
    double value = isAbsurd ? absurd[random() % 8] : unit(random);
    if (kind == 4) {
        instanceOf(effect)->setOutputGain(isAbsurd ? value : 4 * value);
    } else if (random() % 2 == 0) {
        if (value > 1e38) // a float holds no more
            value = 3e38;
        effect->setParameter(effect, band * 12 + kind, float(value));
    } else {
        const double scale[] = {24000, 4, 4, 100};
        ASSERT_TRUE(instanceOf(effect)->changeSetting(band, kind, isAbsurd ? value : scale[kind] * value));
    }
}

// Once a glide has run to its end, the instance saves the block it saved right after the last
// write and reads back the parameters it read then; that block loads into a fresh instance,
// which saves it byte for byte. One to three blocks of awkward lengths, sometimes with a
// second write before the first block or after it (which glides from where the first ended).
TEST_F(StateBlockTest, AfterAGlideTheInstanceHoldsTheStateThatWasWritten) {
    const int32_t lengths[] = {1, 7, 9, 100, 333, 511, 512, 513, 1024, 2049};
    std::mt19937 random(26);
    auto expectStateOfLastWrite = [&](AEffect* instance, const HostView& written) {
        const HostView now = hostViewOf(instance);
        EXPECT_TRUE(now.block == written.block)
            << "the state block differs from the one saved after the write";
        EXPECT_EQ(now.parameters, written.parameters);
        AEffect* fresh = open();
        setChunk(fresh, now.block);
        EXPECT_EQ(getChunk(fresh), now.block) << "a fresh instance saves another block";
        dispatch(fresh, effClose);
    };

    // A threshold written far up and then down to a denormal, and a gain glided to silence:
    // their steps add up to values below zero, which a saved block could not hold.
    const struct {
        int32_t index;
        float first, second;
    } writes[] = {{14, 2.1475e9f, 1.2e-41f}, {13, 0.3f, 0.0f}};
    for (const auto& write : writes) {
        SCOPED_TRACE("parameter " + std::to_string(write.index));
        AEffect* instance = open();
        instance->setParameter(instance, write.index, write.first);
        processFrames(instance, 0, 512, false);
        instance->setParameter(instance, write.index, write.second);
        const HostView written = hostViewOf(instance);
        processFrames(instance, 512, 100, false);
        processFrames(instance, 612, 512, false);
        expectStateOfLastWrite(instance, written);
        dispatch(instance, effClose);
    }

    for (int trial = 0; trial < 600; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        AEffect* instance = open();
        const int second = trial % 3; // none, before the first block, after it
        const bool accumulate = trial % 4 == 3;
        writeGlidingSetting(instance, random);
        if (second == 1)
            writeGlidingSetting(instance, random);
        HostView written = hostViewOf(instance);
        const int blocks = second == 2 ? 2 + int(random() % 2) : 1 + int(random() % 3);
        for (int k = 0, at = 0; k < blocks; ++k) {
            const int32_t n = lengths[random() % (sizeof lengths / sizeof lengths[0])];
            processFrames(instance, at, n, accumulate);
            at += n;
            if (k == 0 && second == 2) {
                writeGlidingSetting(instance, random);
                written = hostViewOf(instance);
            }
        }
        expectStateOfLastWrite(instance, written);
        dispatch(instance, effClose);
    }
}

} // namespace
