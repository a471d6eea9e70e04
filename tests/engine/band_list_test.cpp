#include "engine/compressor.h"
#include "engine_fixture.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(BandList, DefaultsAreFourBandsWithDefaultSettings) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    ASSERT_EQ(engine.bandCount(), 4);
    const double expected[] = {200, 1000, 5000, 24000};
    for (int i = 0; i < 4; ++i) {
        const Band& b = *engine.band(i);
        EXPECT_EQ(b.frequency(), expected[i]);
        EXPECT_EQ(b.settings.ratio, 2.0);
        EXPECT_EQ(b.settings.attackMs, 15);
        EXPECT_EQ(b.settings.releaseMs, 150);
        EXPECT_TRUE(b.settings.autoMakeupGain && b.settings.active && b.settings.logScaleAutomation);
        EXPECT_FALSE(b.settings.programDependentRelease || b.settings.feedbackDetector);
    }
    EXPECT_EQ(engine.band(4), nullptr);
    EXPECT_EQ(engine.band(-1), nullptr);
}

TEST(BandList, AddingSplitsTheGivenBandAtTheMiddleOfItsRange) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    engine.band(0)->settings.ratio = 7;
    engine.band(0)->settings.knee = 3;
    ParameterListChange change;
    ASSERT_TRUE(engine.insertSplitBand(0, change));
    EXPECT_EQ(change.first, 48);
    EXPECT_EQ(change.count, 12);
    ASSERT_EQ(engine.bandCount(), 5);
    EXPECT_EQ(engine.band(0)->frequency(), 110.0); // (20 + 200) / 2
    const Band& added = *engine.band(4);
    EXPECT_EQ(added.frequency(), 200.0); // appended last although not the highest
    EXPECT_EQ(added.settings.ratio, 7.0);
    EXPECT_EQ(added.settings.knee, 3.0);
    EXPECT_EQ(added.state.sampleRate, 44100.0);

    // 24000 Hz over the band at 5000 Hz
    ASSERT_TRUE(engine.insertSplitBand(3, change));
    EXPECT_EQ(engine.band(3)->frequency(), 14500.0);
    EXPECT_EQ(engine.band(5)->frequency(), 24000.0);
    EXPECT_EQ(change.first, 60);
}

TEST(BandList, AddingWithoutASourceBandAddsADefaultTopBand) {
    MultibandEngine engine;
    setUpDefaultEngine(engine, 96000);
    engine.band(3)->settings.ratio = 9;
    ParameterListChange change;
    ASSERT_TRUE(engine.insertSplitBand(-1, change));
    const Band& added = *engine.band(4);
    EXPECT_EQ(added.frequency(), 24000.0);
    EXPECT_EQ(added.settings.ratio, 2.0);
    EXPECT_EQ(added.filter.sampleRate, 96000.0);
    EXPECT_EQ(added.state.sampleRate, 96000.0);
}

TEST(BandList, RemovingKeepsOrderAndNeverTheLastBand) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    ParameterListChange change;
    ASSERT_TRUE(engine.removeBand(1, change));
    EXPECT_EQ(change.first, 12);
    EXPECT_EQ(change.count, -12);
    ASSERT_EQ(engine.bandCount(), 3);
    EXPECT_EQ(engine.band(1)->frequency(), 5000.0);

    EXPECT_FALSE(engine.removeBand(3, change));
    EXPECT_FALSE(engine.removeBand(-1, change));
    ASSERT_TRUE(engine.removeBand(0, change));
    ASSERT_TRUE(engine.removeBand(0, change));
    ASSERT_EQ(engine.bandCount(), 1);
    EXPECT_FALSE(engine.removeBand(0, change));
    EXPECT_EQ(engine.bandCount(), 1);
}

TEST(BandList, CopyTakesEverySettingButTheFrequencyAndResetsState) {
    Band* source = createBand(300);
    Band* target = createBand(4000);
    source->settings.gain = 2;
    source->settings.threshold = 0.3;
    source->settings.rmsSizeMs = 0;
    source->settings.feedbackDetector = true;
    source->settings.logScaleAutomation = false;
    target->state.envelope = 0.5;
    copyBandSettings(*target, *source);
    EXPECT_EQ(target->frequency(), 4000.0);
    EXPECT_EQ(target->settings.gain, 2.0);
    EXPECT_EQ(target->settings.threshold, 0.3);
    EXPECT_TRUE(target->settings.feedbackDetector);
    EXPECT_FALSE(target->settings.logScaleAutomation);
    EXPECT_EQ(target->state.envelope, 0.0);
    EXPECT_EQ(target->state.rmsLength(), 0);
    EXPECT_EQ(target->state.snapGain, 2.0);
    destroyBand(source);
    destroyBand(target);
}

TEST(BandList, FrequencyIsClampedAndSampleRateChangesRedesign) {
    MultibandEngine engine;
    setUpDefaultEngine(engine);
    Band& b = *engine.band(0);
    setBandFrequency(b, 5, true);
    EXPECT_EQ(b.frequency(), 20.0);
    setBandFrequency(b, 1e6, true);
    EXPECT_EQ(b.frequency(), 24000.0);
    setBandFrequency(b, 1000, true);
    const double b1 = b.filter.b1;
    engine.sampleRate = 48000;
    engine.resetProcessingState();
    EXPECT_EQ(b.filter.sampleRate, 48000.0);
    EXPECT_NE(b.filter.b1, b1);
    EXPECT_EQ(b.state.rmsLength(), 240);
}

} // namespace

namespace {

TEST(BandSettingChange, StoresEachKindInItsUnitAndGlidesOnlyTheFirstFour) {
    Band& b = *createBand(1000);
    struct Case {
        int32_t kind;
        double value;
        double stored;
    } cases[] = {{kSettingFrequency, 30000, 24000},
                 {kSettingGain, 0.5, 0.5},
                 {kSettingThreshold, 0.1, 0.1},
                 {kSettingRatio, 4, 4},
                 {kSettingKnee, 6, 6},
                 {kSettingAttack, 9.9, 9},
                 {kSettingRelease, 3e12, INT32_MAX},
                 {kSettingRmsWindow, -1.5, -1},
                 {kSettingAutoMakeup, 0, 0},
                 {kSettingProgramRelease, 0.25, 1},
                 {kSettingFeedback, 1, 1},
                 {kSettingActive, 0, 0}};
    for (const Case& c : cases) {
        const double snapshot[4] = {b.state.snapFrequency, b.state.snapGain, b.state.snapThreshold,
                                    b.state.snapRatio};
        ASSERT_TRUE(changeBandSetting(b, c.kind, c.value)) << c.kind;
        EXPECT_EQ(bandSettingValue(b, c.kind), c.stored) << c.kind;
        // A gliding change keeps the snapshot it glides from; any other change snapshots the
        // values in use, so nothing glides afterwards.
        const double expected[4] = {
            c.kind < 4 ? snapshot[0] : b.frequency(), c.kind < 4 ? snapshot[1] : b.settings.gain,
            c.kind < 4 ? snapshot[2] : b.settings.threshold, c.kind < 4 ? snapshot[3] : b.settings.ratio};
        EXPECT_EQ(b.state.snapFrequency, expected[0]) << c.kind;
        EXPECT_EQ(b.state.snapGain, expected[1]) << c.kind;
        EXPECT_EQ(b.state.snapThreshold, expected[2]) << c.kind;
        EXPECT_EQ(b.state.snapRatio, expected[3]) << c.kind;
    }
    destroyBand(&b);
}

TEST(BandSettingChange, AFaderDragOfAnySettingLeavesAGlideUnderWay) {
    // A threshold change glides; dragging the knee or attack fader meanwhile keeps its snapshot,
    // while typing the knee takes a new one.
    Band& b = *createBand(1000);
    ASSERT_TRUE(changeBandSetting(b, kSettingThreshold, 0.25));
    const double gliding = b.state.snapThreshold;
    ASSERT_NE(gliding, 0.25);
    for (int32_t kind : {kSettingKnee, kSettingAttack, kSettingRelease, kSettingRmsWindow}) {
        ASSERT_TRUE(changeBandSetting(b, kind, 3, SettingChange::KeepSnapshot)) << kind;
        EXPECT_EQ(bandSettingValue(b, kind), 3) << kind;
        EXPECT_EQ(b.state.snapThreshold, gliding) << kind;
    }
    ASSERT_TRUE(changeBandSetting(b, kSettingKnee, 6));
    EXPECT_EQ(b.state.snapThreshold, 0.25);
    destroyBand(&b);
}

TEST(BandSettingChange, NonFiniteValuesAndUnknownKindsChangeNothing) {
    Band& b = *createBand(1000);
    const double inf = std::numeric_limits<double>::infinity();
    for (int32_t kind = 0; kind < kBandSettingKinds; ++kind) {
        const double before = bandSettingValue(b, kind);
        EXPECT_FALSE(changeBandSetting(b, kind, inf)) << kind;
        EXPECT_FALSE(changeBandSetting(b, kind, std::nan(""))) << kind;
        EXPECT_EQ(bandSettingValue(b, kind), before) << kind;
    }
    EXPECT_FALSE(changeBandSetting(b, kBandSettingKinds, 1));
    EXPECT_FALSE(changeBandSetting(b, -1, 1));
    destroyBand(&b);
}

} // namespace
