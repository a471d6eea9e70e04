// The host parameters through the effect record: index layout, Set and Get mappings, names,
// units and displays, the two vendor extensions and the notifications to the host.
#include "host_calls.h"
#include "shell/parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Notification {
    int32_t opcode;
    int32_t index;
    float opt;
};
std::vector<Notification> notifications;

intptr_t VST_CALL recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    notifications.push_back({opcode, index, opt});
    return 0;
}

class ParameterTest : public ::testing::Test {
protected:
    void SetUp() override {
        notifications.clear();
        effect = VSTPluginMain(recordingHost);
        ASSERT_NE(effect, nullptr);
        fx = instanceOf(effect);
    }
    void TearDown() override {
        fx->meteringWanted = false;
        dispatch(effect, effClose);
    }
    void set(int32_t index, float v) { effect->setParameter(effect, index, v); }
    float get(int32_t index) { return effect->getParameter(effect, index); }
    Band& band(int32_t i) { return *fx->band(i); }

    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
};

TEST_F(ParameterTest, NamesFollowBandAndKindAndAreCutToEightCharacters) {
    const char* expected[12] = {"1-Freq",   "1-Gain", "1-Thresh", "1-Ratio",  "1-Knee",   "1-Attack",
                                "1-Releas", "1-RMS",  "1-MakeUp", "1-AutoRe", "1-FeedBk", "1-Active"};
    for (int32_t k = 0; k < 12; ++k)
        EXPECT_EQ(parameterName(effect, k), expected[k]) << k;
    EXPECT_EQ(parameterName(effect, 26), "3-Thresh");
    EXPECT_EQ(parameterName(effect, 47), "4-Active");

    TextAnswer past = askText(effect, effGetParamName, 48);
    EXPECT_EQ(past.result, 0);
    EXPECT_EQ(past.text, "");
    EXPECT_EQ(askText(effect, effGetParamName, -1).result, 0);
    EXPECT_EQ(askText(effect, effGetParamName, 47).result, 1);

    for (int i = 0; i < 6; ++i)
        fx->addBand();
    ASSERT_EQ(effect->numParams, 120);
    EXPECT_EQ(parameterName(effect, 9 * 12 + 6), "10-Relea");
    EXPECT_EQ(parameterName(effect, 9 * 12 + 9), "10-AutoR");
    EXPECT_EQ(parameterName(effect, 119), "10-Activ");
}

TEST_F(ParameterTest, UnitsPerKind) {
    const char* expected[12] = {"Hz", "dB", "dB", ":1", "dB", "ms", "ms", "ms", "", "", "", ""};
    for (int32_t k = 0; k < 12; ++k) {
        TextAnswer unit = askText(effect, effGetParamLabel, 24 + k);
        EXPECT_EQ(unit.text, expected[k]) << k;
        EXPECT_EQ(unit.result, 1) << k;
    }
    TextAnswer past = askText(effect, effGetParamLabel, 48);
    EXPECT_EQ(past.result, 0);
    EXPECT_EQ(past.text, "");
}

TEST_F(ParameterTest, DefaultBandReadsAndDisplays) {
    // Band 1: 200 Hz, gain and threshold 0 dB, 2:1, hard knee, 15/150/5 ms, makeup on.
    EXPECT_FLOAT_EQ(get(0), 0.23138615f); // ln(180 * 400 / 23980 + 1) / ln 401
    EXPECT_FLOAT_EQ(get(1), 0.25f);
    EXPECT_FLOAT_EQ(get(2), 0.25f);
    EXPECT_FLOAT_EQ(get(3), float(750 * std::sqrt(1.0 / 99) / 750));
    EXPECT_FLOAT_EQ(get(4), 0.0f);
    EXPECT_FLOAT_EQ(get(5), 15 / 250.0f);
    EXPECT_FLOAT_EQ(get(6), 0.27386128f); // sqrt(150 / 2000): the smallest value that sets 150 ms
    EXPECT_FLOAT_EQ(get(7), 5 / 250.0f);
    EXPECT_EQ(get(8), 1.0f);
    EXPECT_EQ(get(9), 0.0f);
    EXPECT_EQ(get(10), 0.0f);
    EXPECT_EQ(get(11), 1.0f);
    EXPECT_FLOAT_EQ(get(36), 1.0f); // 24000 Hz is the top of the log scale

    const char* expected[12] = {"200.0", "0.0", "0.0", "2.00", "0.00", "15",
                                "150",   "5",   "ON",  "OFF",  "OFF",  "ON"};
    for (int32_t k = 0; k < 12; ++k)
        EXPECT_EQ(parameterDisplay(effect, k), expected[k]) << k;
    TextAnswer past = askText(effect, effGetParamDisplay, 48);
    EXPECT_EQ(past.result, 0);
    EXPECT_EQ(past.text, "");
    EXPECT_EQ(get(48), 0.0f);
    EXPECT_EQ(get(-1), 0.0f);
}

TEST_F(ParameterTest, FrequencyRows) {
    set(12, 0.0f);
    EXPECT_DOUBLE_EQ(band(1).frequency(), 20.0);
    set(12, 1.0f);
    EXPECT_NEAR(band(1).frequency(), 24000.0, 1e-9);
    set(12, 0.5f);
    EXPECT_NEAR(band(1).frequency(), 1160.5478144503222, 1e-9);
    EXPECT_EQ(parameterDisplay(effect, 12), "1160.5");
    EXPECT_NEAR(get(12), 0.5f, 1e-6);

    band(1).settings.logScaleAutomation = false;
    set(12, 0.5f);
    EXPECT_DOUBLE_EQ(band(1).frequency(), 12000.0);
    EXPECT_FLOAT_EQ(get(12), 0.5f);
    set(12, 0.0f);
    EXPECT_DOUBLE_EQ(band(1).frequency(), 20.0);
    set(12, 2.0f);
    EXPECT_DOUBLE_EQ(band(1).frequency(), 24000.0);
}

TEST_F(ParameterTest, GainThresholdAndKnee) {
    set(1, 0.25f);
    EXPECT_DOUBLE_EQ(band(0).settings.gain, 1.0);
    EXPECT_EQ(parameterDisplay(effect, 1), "0.0");
    set(1, 0.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.gain, 0.0);
    EXPECT_EQ(parameterDisplay(effect, 1), "-150.0");
    set(1, 100.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.gain, 64.0); // capped
    EXPECT_FLOAT_EQ(get(1), 16.0f);

    set(2, 1.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.threshold, 4.0);
    EXPECT_EQ(parameterDisplay(effect, 2), "12.0");
    set(2, 100.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.threshold, 400.0); // no cap on the threshold
    EXPECT_EQ(parameterDisplay(effect, 2), "52.0");

    // Below zero is silence, as the display says, never a phase-inverted band.
    set(1, -1.0f);
    EXPECT_EQ(band(0).settings.gain, 0.0);
    EXPECT_EQ(parameterDisplay(effect, 1), "-150.0");
    set(2, -1e30f);
    EXPECT_EQ(band(0).settings.threshold, 0.0);
    EXPECT_EQ(get(2), 0.0f);

    set(4, 0.5f);
    EXPECT_DOUBLE_EQ(band(0).settings.knee, 12.0);
    EXPECT_EQ(parameterDisplay(effect, 4), "12.00");
    EXPECT_FLOAT_EQ(get(4), 0.5f);
    set(4, 1e6f);
    EXPECT_EQ(parameterDisplay(effect, 4), "24000000"); // "24000000.00" cut to 8
}

TEST_F(ParameterTest, RatioRow) {
    set(3, 0.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.ratio, 1.0);
    EXPECT_EQ(parameterDisplay(effect, 3), "1.00");
    set(3, 1.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.ratio, 100.0);
    EXPECT_EQ(parameterDisplay(effect, 3), "100.00");
    set(3, 0.5f);
    EXPECT_DOUBLE_EQ(band(0).settings.ratio, 1 + 99 * 0.25);
    set(3, -1.0f / 3);
    EXPECT_NEAR(band(0).settings.ratio, 0.1, 1e-6);

    band(0).settings.ratio = 0.5;
    EXPECT_EQ(get(3), -0.18518518f); // float(250 - 0.5 x 250 / 0.9 - 250) / 750
}

TEST_F(ParameterTest, TimesAreWholeMilliseconds) {
    set(5, 1.0f);
    EXPECT_EQ(band(0).settings.attackMs, 250);
    set(5, 0.5f);
    EXPECT_EQ(band(0).settings.attackMs, 125);
    set(5, 0.1f);
    EXPECT_EQ(band(0).settings.attackMs, 25);
    band(0).settings.attackMs = 300;
    EXPECT_FLOAT_EQ(get(5), 1.2f);

    set(6, 1.0f);
    EXPECT_EQ(band(0).settings.releaseMs, 2000);
    set(6, 0.5f);
    EXPECT_EQ(band(0).settings.releaseMs, 500);
    EXPECT_FLOAT_EQ(get(6), 0.5f);
    set(6, 0.3f);
    EXPECT_EQ(band(0).settings.releaseMs, 180);
    EXPECT_FLOAT_EQ(get(6), 0.3f);
    set(6, 0.2731f);
    EXPECT_EQ(band(0).settings.releaseMs, 149); // 2000 x 0.2731^2 = 149.16...
    EXPECT_FLOAT_EQ(get(6), 0.27294689f);       // sqrt(149 / 2000)
    set(6, -0.5f);
    EXPECT_EQ(band(0).settings.releaseMs, 500); // the square law does not care for the sign

    set(7, 0.02f);
    EXPECT_EQ(band(0).settings.rmsSizeMs, 5);
    EXPECT_EQ(parameterDisplay(effect, 7), "5");

    // Far out of range: the whole-millisecond value saturates instead of wrapping.
    set(5, 1e30f);
    EXPECT_EQ(band(0).settings.attackMs, INT32_MAX);
    set(5, -1e30f);
    EXPECT_EQ(band(0).settings.attackMs, INT32_MIN);
}

// What a host sees of an instance after a write: the whole state block and one display.
struct HostView {
    std::vector<uint8_t> block;
    std::string display;
    bool operator==(const HostView& o) const { return block == o.block && display == o.display; }
};

class WriteBackTest : public ParameterTest {
protected:
    HostView view(int32_t index) { return {getChunk(effect), parameterDisplay(effect, index)}; }

    // Writes back the value read, once and then twenty times more, as touch automation, undo
    // or parameter linking would; nothing the host can see may move.
    void expectWriteBackKeeps(int32_t index, const std::string& what) {
        const HostView before = view(index);
        for (int round = 0; round < 21; ++round) {
            set(index, get(index));
            ASSERT_TRUE(view(index) == before) << what << ", write-back " << round + 1 << ": "
                                               << view(index).display << " was " << before.display;
        }
    }

    // One band with the given release and log-scale switch, every other setting default.
    void loadBand(int32_t releaseMs, bool logScale = true) {
        RecordValues band;
        band.releaseMs = releaseMs;
        band.flags = logScale ? 17 : 1;
        BlockBuilder b;
        b.i32(56).i32(1);
        appendRecord(b, band);
        b.i32(1).i32(1).f64(1.0).i32(0);
        setChunk(effect, b.bytes);
        ASSERT_EQ(fx->bandCount(), 1);
        ASSERT_EQ(band0().settings.releaseMs, releaseMs);
    }
    Band& band0() { return *fx->band(0); }
};

TEST_F(WriteBackTest, EveryKindKeepsEveryHostValue) {
    for (bool logScale : {true, false}) {
        loadBand(150, logScale);
        for (int32_t kind = 0; kind < 12; ++kind) {
            if (!logScale && kind != 0)
                continue; // only the frequency reads the switch
            for (int step = 0; step <= 1000; ++step) {
                set(kind, float(step / 1000.0));
                expectWriteBackKeeps(kind, "kind " + std::to_string(kind) + " at " + std::to_string(step) +
                                               (logScale ? "/1000" : "/1000, linear frequency"));
            }
        }
    }
}

TEST_F(WriteBackTest, EveryWholeReleaseReadsAsTheSmallestValueThatSetsIt) {
    for (int32_t ms = 0; ms <= 2000; ++ms) {
        loadBand(ms);
        const float read = get(6);
        set(6, read);
        ASSERT_EQ(band0().settings.releaseMs, ms) << "read " << read;
        if (ms > 0) {
            set(6, std::nextafter(read, 0.0f));
            ASSERT_LT(band0().settings.releaseMs, ms) << "a smaller value sets it too";
            set(6, read);
        }
        expectWriteBackKeeps(6, std::to_string(ms) + " ms");
    }
    // The ends of the range read as the ends of the host's.
    loadBand(0);
    EXPECT_EQ(get(6), 0.0f);
    loadBand(2000);
    EXPECT_EQ(get(6), 1.0f);
    loadBand(500);
    EXPECT_EQ(get(6), 0.5f);
}

TEST_F(WriteBackTest, ReleasesNoHostValueReachesSettleOnceAndStay) {
    const struct {
        int32_t stored, settled;
    } cases[] = {{2001, 2000}, {2500, 2000}, {INT32_MAX, 2000}, {-5, 0}, {INT32_MIN, 0}};
    for (const auto& c : cases) {
        loadBand(c.stored);
        set(6, get(6));
        EXPECT_EQ(band0().settings.releaseMs, c.settled) << c.stored;
        expectWriteBackKeeps(6, std::to_string(c.stored) + " ms settled");
    }
}

TEST_F(ParameterTest, FlagsSwitchOnAtOneHalf) {
    struct {
        int32_t kind;
        bool BandSettings::*flag;
    } flags[] = {{kSettingAutoMakeup, &BandSettings::autoMakeupGain},
                 {kSettingProgramRelease, &BandSettings::programDependentRelease},
                 {kSettingFeedback, &BandSettings::feedbackDetector},
                 {kSettingActive, &BandSettings::active}};
    for (auto f : flags) {
        set(24 + f.kind, 0.49f);
        EXPECT_FALSE(band(2).settings.*f.flag) << f.kind;
        EXPECT_EQ(get(24 + f.kind), 0.0f);
        EXPECT_EQ(parameterDisplay(effect, 24 + f.kind), "OFF");
        set(24 + f.kind, 0.5f);
        EXPECT_TRUE(band(2).settings.*f.flag) << f.kind;
        EXPECT_EQ(get(24 + f.kind), 1.0f);
        EXPECT_EQ(parameterDisplay(effect, 24 + f.kind), "ON");
    }
}

TEST_F(ParameterTest, GainThresholdRatioAndFrequencyGlideTheRestApplyAtOnce) {
    BandState& st = band(1).state;
    set(13, 0.125f); // gain 0.5
    set(14, 0.5f);   // threshold 2.0
    set(15, 1.0f);   // ratio 100
    set(12, 0.0f);   // 20 Hz
    EXPECT_DOUBLE_EQ(band(1).settings.gain, 0.5);
    EXPECT_DOUBLE_EQ(st.snapGain, 1.0);
    EXPECT_DOUBLE_EQ(st.snapThreshold, 1.0);
    EXPECT_DOUBLE_EQ(st.snapRatio, 2.0);
    EXPECT_DOUBLE_EQ(st.snapFrequency, 1000.0);
    // The coefficients follow the new values at once even while the snapshot stays.
    EXPECT_DOUBLE_EQ(st.slope, (1 - 1 / 100.0) / -0.6931471805599453);

    set(16, 0.25f); // knee: takes a new snapshot of everything
    EXPECT_DOUBLE_EQ(st.snapGain, 0.5);
    EXPECT_DOUBLE_EQ(st.snapThreshold, 2.0);
    EXPECT_DOUBLE_EQ(st.snapRatio, 100.0);
    EXPECT_DOUBLE_EQ(st.snapFrequency, 20.0);
}

TEST_F(ParameterTest, RefusedWrites) {
    const std::vector<uint8_t> before = getChunk(effect);

    fx->ignoreParameterSets = true;
    for (int32_t i = 0; i < 48; ++i)
        set(i, 0.77f);
    fx->ignoreParameterSets = false;
    EXPECT_EQ(getChunk(effect), before);

    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()})
        for (int32_t i = 0; i < 48; ++i)
            set(i, bad);
    EXPECT_EQ(getChunk(effect), before);

    set(48, 0.5f);
    set(-12, 0.5f);
    EXPECT_EQ(getChunk(effect), before);
    EXPECT_EQ(fx->editorNeedsRefresh, 0);
    EXPECT_TRUE(notifications.empty()); // the host is never told about its own writes
}

TEST_F(ParameterTest, HostWritesFlagTheEditorOnlyWhenItIsOpen) {
    set(0, 0.3f);
    EXPECT_EQ(fx->editorNeedsRefresh, 0);
    fx->meteringWanted = true; // an editor is open
    set(0, 0.4f);
    EXPECT_EQ(fx->editorNeedsRefresh, 1);
    fx->editorNeedsRefresh = 0;
    set(11, 0.0f);
    EXPECT_EQ(fx->editorNeedsRefresh, 1);
}

TEST_F(ParameterTest, CanBeAutomated) {
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 0), 1);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 47), 1);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, 48), 0);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, -1), 0);
}

TEST_F(ParameterTest, RangeExtension) {
    const int32_t rangeIndex = kVendorParameterRange;
    auto ask = [&](intptr_t parameter, double(&range)[3]) {
        range[0] = range[1] = range[2] = 77.0;
        return dispatch(effect, effVendorSpecific, rangeIndex, parameter, range);
    };
    double range[3];
    EXPECT_EQ(ask(3, range), 0xbeef);
    EXPECT_EQ(range[0], -0.3333333333333333);
    EXPECT_EQ(range[1], 1.0);
    EXPECT_EQ(range[2], 77.0);
    for (intptr_t kind : {1, 2, 4}) {
        EXPECT_EQ(ask(12 + kind, range), 0xbeef);
        EXPECT_EQ(range[0], 77.0);
        EXPECT_EQ(range[1], 77.0);
        EXPECT_EQ(range[2], 0.25);
    }
    EXPECT_EQ(ask(0, range), 0xbeef);
    EXPECT_EQ(ask(47, range), 0xbeef);
    EXPECT_EQ(range[0] + range[1] + range[2], 3 * 77.0);

    EXPECT_EQ(ask(48, range), 0);
    EXPECT_EQ(ask(-1, range), 0);
    EXPECT_EQ(ask(intptr_t(1) << 32 | 3, range), 0); // no truncation of the 64-bit index
    EXPECT_EQ(range[0], 77.0);
    EXPECT_EQ(dispatch(effect, effVendorSpecific, rangeIndex, 3, nullptr), 0);
}

TEST_F(ParameterTest, DisplayExtensionShowsAnyValue) {
    auto show = [&](intptr_t parameter, float v) {
        return askText(effect, effVendorSpecific, 7, parameter, v);
    };
    TextAnswer frequency = show(0, 0.5f);
    EXPECT_EQ(frequency.result, 0xbeef);
    EXPECT_EQ(frequency.text, "1160.5");
    EXPECT_EQ(show(0, 2.0f).text, "24000.0");
    band(0).settings.logScaleAutomation = false;
    EXPECT_EQ(show(0, 0.5f).text, "12000.0");
    EXPECT_EQ(show(0, 0.0f).text, "20.0");

    EXPECT_EQ(show(1, 0.25f).text, "0.0");
    EXPECT_EQ(show(2, 100.0f).text, "36.1"); // 4v capped at 64 for the display
    EXPECT_EQ(show(1, 0.0f).text, "-150.0");
    EXPECT_EQ(show(3, 1.0f).text, "100.00");
    EXPECT_EQ(show(3, 0.0f).text, "1.00");
    EXPECT_EQ(show(4, 0.5f).text, "12.00");
    EXPECT_EQ(show(5, 1.0f).text, "250");
    EXPECT_EQ(show(7, 0.1f).text, "25");
    EXPECT_EQ(show(6, 0.5f).text, "500");
    EXPECT_EQ(show(8, 0.5f).text, "OFF");
    EXPECT_EQ(show(9, 0.51f).text, "ON");
    // Longer than the 8 characters of the ordinary display.
    EXPECT_EQ(show(4, 1e6f).text, "24000000.00");

    // The current values are untouched.
    EXPECT_EQ(parameterDisplay(effect, 1), "0.0");
    EXPECT_EQ(band(0).settings.attackMs, 15);

    TextAnswer past = show(48, 0.5f);
    EXPECT_EQ(past.result, 0);
    EXPECT_EQ(past.text, "");
    EXPECT_EQ(show(1, std::numeric_limits<float>::quiet_NaN()).result, 0);
    EXPECT_EQ(dispatch(effect, effVendorSpecific, 7, 1, nullptr, 0.5f), 0);
    EXPECT_EQ(askText(effect, effVendorSpecific, 8, 1, 0.5f).result, 0);
}

TEST_F(ParameterTest, NotifyHostParameterSendsValueThenEndOfEdit) {
    set(13, 0.125f);
    notifyHostParameter(*fx, 13, false);
    notifyHostParameter(*fx, 13, true);
    notifyHostParameter(*fx, -1, false);
    ASSERT_EQ(notifications.size(), 3u);
    EXPECT_EQ(notifications[0].opcode, audioMasterAutomate);
    EXPECT_EQ(notifications[0].index, 13);
    EXPECT_EQ(notifications[0].opt, 0.125f);
    EXPECT_EQ(notifications[1].opcode, audioMasterEndEdit);
    EXPECT_EQ(notifications[1].index, 13);
    EXPECT_EQ(notifications[1].opt, 0.0f);
    EXPECT_EQ(notifications[2].opcode, audioMasterAutomate);
    EXPECT_EQ(notifications[2].index, -1);
    EXPECT_EQ(notifications[2].opt, 0.0f);

    // Without a host callback nothing is sent (and nothing is called through null).
    AEffect* silent = VSTPluginMain(nullptr);
    ASSERT_NE(silent, nullptr);
    notifyHostParameter(*instanceOf(silent), 13, false);
    notifyHostParameter(*instanceOf(silent), 13, true);
    dispatch(silent, effClose);
    EXPECT_EQ(notifications.size(), 3u);
    dispatch(VSTPluginMain(recordingHost), effClose); // the last VSTPluginMain call sets the callback again
}

TEST_F(ParameterTest, CallsWithoutAnInstanceAnswerZero) {
    AEffect orphan = *effect;
    orphan.object = nullptr;
    orphan.setParameter(&orphan, 1, 0.0f);
    EXPECT_EQ(orphan.getParameter(&orphan, 1), 0.0f);
    EXPECT_EQ(effect->getParameter(nullptr, 1), 0.0f);
    effect->setParameter(nullptr, 1, 0.0f);
    EXPECT_DOUBLE_EQ(band(0).settings.gain, 1.0);
}

} // namespace
