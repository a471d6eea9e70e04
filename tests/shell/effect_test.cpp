// The instance as a host sees it: VSTPluginMain, the effect record, the audio entries and the
// band-list operations with the notifications they send back to the host.
#include "shell/compressor_effect.h"
#include "shell/edit_gesture.h"
#include "shell/module.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    int32_t message[2];
    float opt;
};
std::vector<HostCall> hostCalls;
int callbacksUnderLock = 0;

intptr_t VST_CALL recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt) {
    HostCall call{effect, opcode, index, value, {0, 0}, opt};
    if (opcode == audioMasterVendorSpecific && ptr)
        std::memcpy(call.message, ptr, sizeof(call.message));
    hostCalls.push_back(call);
    // A host may handle a notification on another thread that needs the instance: the
    // notifier must not be holding the lock.
    if (auto* fx = CompressorEffect::fromEffect(effect)) {
        bool free = false;
        std::thread probe([&] {
            free = fx->lock.tryLock();
            if (free)
                fx->lock.unlock();
        });
        probe.join();
        callbacksUnderLock += free ? 0 : 1;
    }
    return 0;
}

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls.clear();
        callbacksUnderLock = 0;
        effect = VSTPluginMain(recordingHost);
        ASSERT_NE(effect, nullptr);
        fx = static_cast<CompressorEffect*>(effect->object);
    }
    void TearDown() override {
        EXPECT_EQ(callbacksUnderLock, 0);
        if (effect)
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
};

TEST_F(EffectTest, RecordIsFilledAsAHostExpects) {
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->uniqueID, 0x74727753); // 't' 'r' 'w' 'S', first character high
    EXPECT_EQ(effect->version, 1100);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 48);
    EXPECT_EQ(effect->flags, 48); // no editor is installed in this program
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->object, fx);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    for (char c : effect->future)
        ASSERT_EQ(c, 0);

    EXPECT_EQ(fx->sampleRate, 44100.0);
    EXPECT_EQ(fx->outputGain, 1.0);
    EXPECT_EQ(fx->showGrid, 1);
    EXPECT_EQ(fx->showTabs, 1);
    EXPECT_EQ(fx->soloCurrentBand, 0);
    EXPECT_EQ(fx->currentBand, 0);
    ASSERT_EQ(fx->bandCount(), 4);
    EXPECT_EQ(fx->band(3)->frequency(), 24000.0);
    EXPECT_TRUE(hostCalls.empty()); // construction asks the host nothing
}

TEST_F(EffectTest, EntriesWithoutAnInstanceDoNothing) {
    AEffect orphan = *effect;
    orphan.object = nullptr;
    float left[4] = {1, 1, 1, 1}, right[4] = {1, 1, 1, 1};
    float* channels[2] = {left, right};
    EXPECT_EQ(orphan.dispatcher(&orphan, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    orphan.processReplacing(&orphan, channels, channels, 4);
    orphan.process(&orphan, channels, channels, 4);
    orphan.process(nullptr, channels, channels, 4);
    EXPECT_EQ(left[2], 1.0f);
    EXPECT_EQ(fx->sampleRate, 44100.0);
}

TEST_F(EffectTest, SecondCallReplacesTheHostCallbackForEveryInstance) {
    AEffect* second = VSTPluginMain(nullptr);
    ASSERT_NE(second, nullptr);
    fx->addBand(); // would notify the host: there is none now
    EXPECT_TRUE(hostCalls.empty());
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    AEffect* third = VSTPluginMain(recordingHost);
    fx->addBand();
    EXPECT_EQ(hostCalls.size(), 2u);
    third->dispatcher(third, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(EffectTest, ProcessReplacingOverwritesAndProcessAdds) {
    for (int i = 0; i < 4; ++i)
        fx->band(i)->settings.active = false;
    const int n = 256;
    std::vector<float> inL(n), inR(n), outL(n, 5.0f), outR(n, 5.0f);
    for (int i = 0; i < n; ++i) {
        inL[size_t(i)] = float(0.25 * std::sin(i * 0.1));
        inR[size_t(i)] = float(0.25 * std::cos(i * 0.07));
    }
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    effect->processReplacing(effect, in, out, n);
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(outL[size_t(i)], inL[size_t(i)], 1e-6);

    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    std::fill(outL.begin(), outL.end(), 5.0f);
    std::fill(outR.begin(), outR.end(), -1.0f);
    effect->process(effect, in, out, n);
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(outL[size_t(i)], 5.0f + inL[size_t(i)], 1e-6);
        ASSERT_NEAR(outR[size_t(i)], -1.0f + inR[size_t(i)], 1e-6);
    }
}

TEST_F(EffectTest, SampleRateAndSuspendResetTheState) {
    std::vector<float> l(512, 0.5f), r(512, 0.5f);
    float* ch[2] = {l.data(), r.data()};
    effect->processReplacing(effect, ch, ch, 512);
    ASSERT_GT(fx->band(0)->state.inputPeak, 0.0);

    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f); // resume: nothing
    EXPECT_GT(fx->band(0)->state.inputPeak, 0.0);
    fx->inputPeakLeft = 0.3;
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f); // suspend: reset
    EXPECT_EQ(fx->band(0)->state.inputPeak, 0.0);
    EXPECT_EQ(fx->inputPeakLeft, 0.0);

    EXPECT_EQ(effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_EQ(fx->sampleRate, 96000.0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(fx->band(i)->filter.sampleRate, 96000.0);
        EXPECT_EQ(fx->band(i)->state.sampleRate, 96000.0);
    }
    EXPECT_EQ(fx->band(0)->state.rmsLength(), 480);
}

TEST_F(EffectTest, AddBandReportsTheNewParametersThenAGeneralChange) {
    fx->currentBand = 0;
    fx->addBand();
    EXPECT_EQ(effect->numParams, 60);
    EXPECT_EQ(fx->currentBand, 4);
    ASSERT_EQ(hostCalls.size(), 2u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(hostCalls[0].index, int32_t(0xDEADBEEF));
    EXPECT_EQ(hostCalls[0].value, 0);
    EXPECT_EQ(hostCalls[0].message[0], 48);
    EXPECT_EQ(hostCalls[0].message[1], 12);
    EXPECT_EQ(hostCalls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(hostCalls[1].index, -1);
    EXPECT_EQ(hostCalls[1].effect, effect);
}

TEST_F(EffectTest, DeleteBandReportsAndMovesTheSelection) {
    fx->currentBand = 3; // the last tab
    fx->deleteCurrentBand();
    EXPECT_EQ(effect->numParams, 36);
    EXPECT_EQ(fx->currentBand, 2);
    ASSERT_EQ(hostCalls.size(), 2u);
    EXPECT_EQ(hostCalls[0].message[0], 36);
    EXPECT_EQ(hostCalls[0].message[1], -12);
    EXPECT_EQ(hostCalls[1].index, -1);
    EXPECT_FALSE(fx->ignoreParameterSets);

    hostCalls.clear();
    fx->currentBand = 0;
    fx->deleteCurrentBand();
    EXPECT_EQ(fx->currentBand, 0);
    EXPECT_EQ(fx->band(0)->frequency(), 1000.0);
    fx->deleteCurrentBand();
    hostCalls.clear();
    fx->deleteCurrentBand(); // a single band is never deleted
    EXPECT_EQ(fx->bandCount(), 1);
    EXPECT_EQ(effect->numParams, 12);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(EffectTest, ResetToDefaultsReportsTheParameterCountChange) {
    fx->currentBand = 0;
    fx->deleteCurrentBand();
    fx->deleteCurrentBand(); // two bands, 24 parameters
    hostCalls.clear();
    fx->resetToDefaults();
    ASSERT_EQ(hostCalls.size(), 2u);
    EXPECT_EQ(hostCalls[0].message[0], 24);
    EXPECT_EQ(hostCalls[0].message[1], 24);
    EXPECT_EQ(effect->numParams, 48);

    fx->addBand();
    fx->addBand(); // six bands, 72 parameters
    hostCalls.clear();
    fx->currentBand = 5;
    fx->outputGain = 0.5;
    fx->resetToDefaults();
    ASSERT_EQ(hostCalls.size(), 2u);
    EXPECT_EQ(hostCalls[0].message[0], 48);
    EXPECT_EQ(hostCalls[0].message[1], -24);
    EXPECT_EQ(fx->currentBand, 0);
    EXPECT_EQ(fx->outputGainPrevious, 0.5);

    hostCalls.clear();
    fx->resetToDefaults(); // same count: only the general change
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterAutomate);
}

// An editor reaches the shell only through the table that attaching the library installs: the
// shell calls it for the instance's window classes, the editor opcodes and the instance's end.
struct EditorCalls {
    int controlClasses = 0; // registrations minus unregistrations
    int instanceClasses = 0;
    int opened = 0, closed = 0, released = 0;
    void* module = nullptr;
    void* parent = nullptr;
};
EditorCalls editorCalls;

const EditorEntryPoints kCountingEditor = {
    [](void* module) {
        ++editorCalls.controlClasses;
        editorCalls.module = module;
    },
    [](void*) { --editorCalls.controlClasses; },
    [](void* module) {
        ++editorCalls.instanceClasses;
        editorCalls.module = module;
    },
    [](void*) { --editorCalls.instanceClasses; },
    [](CompressorEffect&, void* parent) {
        editorCalls.parent = parent;
        return ++editorCalls.opened > 0;
    },
    [](CompressorEffect&) { ++editorCalls.closed; },
    [](const CompressorEffect&, int32_t& width, int32_t& height) {
        width = 640;
        height = 480;
        return editorCalls.opened > editorCalls.closed;
    },
    [](CompressorEffect&) { ++editorCalls.released; },
};

TEST(EditorTable, TheInstalledEditorIsCalledForClassesOpcodesAndTheInstancesEnd) {
    editorCalls = EditorCalls();
    int module = 0;
    attachLibrary(&module, &kCountingEditor);
    EXPECT_EQ(libraryModule(), &module);
    EXPECT_EQ(editorCalls.controlClasses, 1);

    AEffect* first = VSTPluginMain(nullptr);
    AEffect* second = VSTPluginMain(nullptr);
    EXPECT_EQ(first->flags, 49); // now with effFlagsHasEditor
    EXPECT_EQ(editorCalls.instanceClasses, 1); // registered by the first instance only
    EXPECT_EQ(editorCalls.module, &module);

    int parent = 0;
    EXPECT_EQ(first->dispatcher(first, effEditOpen, 0, 0, &parent, 0.0f), 1);
    EXPECT_EQ(editorCalls.parent, &parent);
    ERect* rect = nullptr;
    EXPECT_EQ(first->dispatcher(first, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 640);
    EXPECT_EQ(rect->bottom, 480);
    first->dispatcher(first, effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editorCalls.closed, 1);

    first->dispatcher(first, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editorCalls.released, 1);
    EXPECT_EQ(editorCalls.instanceClasses, 1); // the second still lives
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editorCalls.released, 2);
    EXPECT_EQ(editorCalls.instanceClasses, 0);

    detachLibrary();
    EXPECT_EQ(editorCalls.controlClasses, 0);
    EXPECT_EQ(libraryModule(), nullptr);
    AEffect* without = VSTPluginMain(nullptr);
    EXPECT_EQ(without->flags, 48);
    EXPECT_EQ(without->dispatcher(without, effEditOpen, 0, 0, &parent, 0.0f), 0);
    without->dispatcher(without, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editorCalls.opened, 1);
    EXPECT_EQ(editorCalls.released, 2);
}

} // namespace

namespace {

TEST(EditorOperations, ChangeSettingStoresInTheSettingsUnitAndViewBandCopiesIt) {
    AEffect* effect = VSTPluginMain(nullptr);
    CompressorEffect* fx = static_cast<CompressorEffect*>(effect->object);
    EXPECT_TRUE(fx->changeSetting(2, kSettingThreshold, 0.1));
    EXPECT_TRUE(fx->changeSetting(2, kSettingFrequency, 3000));
    EXPECT_TRUE(fx->changeSetting(2, kSettingActive, 0));
    EXPECT_FALSE(fx->changeSetting(2, kSettingGain, std::exp(10000.0))); // +10000 dB overflows
    EXPECT_FALSE(fx->changeSetting(4, kSettingGain, 1.0));               // no fifth band
    BandView view;
    ASSERT_TRUE(fx->viewBand(2, view));
    EXPECT_EQ(view.settings.threshold, 0.1);
    EXPECT_EQ(view.frequency, 3000.0);
    EXPECT_FALSE(view.settings.active);
    EXPECT_EQ(view.settings.gain, 1.0);
    EXPECT_EQ(view.makeupGain, fx->band(2)->state.makeupGain);
    EXPECT_FALSE(fx->viewBand(-1, view));
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(EffectTest, EditGesturesReportMovesAndEndsOnlyOfStoredChanges) {
    ASSERT_TRUE(editSetting(*fx, 1, kSettingThreshold, 0.25, EditReport::Move));
    ASSERT_EQ(hostCalls.size(), 1u);
    EXPECT_EQ(hostCalls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(hostCalls[0].index, 1 * kParametersPerBand + kSettingThreshold);
    EXPECT_EQ(hostCalls[0].opt, effect->getParameter(effect, hostCalls[0].index)); // the value stored

    // The new value from the current one: a switch flipped, its gesture ended.
    ASSERT_TRUE(editSettingFrom(*fx, 3, kSettingFeedback, [](double on) { return 1 - on; }, EditReport::End));
    EXPECT_TRUE(fx->band(3)->settings.feedbackDetector);
    ASSERT_EQ(hostCalls.size(), 2u);
    EXPECT_EQ(hostCalls[1].opcode, audioMasterEndEdit);
    EXPECT_EQ(hostCalls[1].index, 3 * kParametersPerBand + kSettingFeedback);

    EXPECT_TRUE(editSetting(*fx, 0, kSettingRatio, 3.0, EditReport::Nothing));
    EXPECT_EQ(fx->band(0)->settings.ratio, 3.0);
    // Refused changes tell nothing.
    EXPECT_FALSE(editSetting(*fx, 0, kSettingGain, std::exp(10000.0), EditReport::Move));
    EXPECT_FALSE(editSettingFrom(*fx, 7, kSettingGain, [](double gain) { return gain; }, EditReport::End));
    EXPECT_EQ(hostCalls.size(), 2u);
}

TEST_F(EffectTest, ViewingBandsTakesTheirMetersOncePerFrame) {
    for (int32_t i = 0; i < 4; ++i) {
        BandState& st = fx->band(i)->state;
        st.inputPeak = 0.5;
        st.detectorPeak = 0.25;
        st.outputPeak = 1e-8; // decays to exact silence
        st.gainMeter = 0.5;
        st.gainMeterHold = 0.4; // reduced further than the meter: held until 1000
        st.gainMeterHoldUntil = 1000;
    }
    fx->soloCurrentBand = 1;
    fx->currentBand = 2;
    HeapBuffer views(4096), metered(64);
    uint32_t now = 900;
    ASSERT_EQ(fx->viewBands(views, &metered, &now), 4);
    const auto* view = static_cast<const BandView*>(views.get());
    const auto* taken = static_cast<const bool*>(metered.get());
    EXPECT_EQ(view[1].frequency, 1000.0); // list order
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const BandState& st = fx->band(i)->state;
        // The copies show the meters as they stood, the hold kept.
        EXPECT_EQ(view[i].inputPeak, 0.5);
        EXPECT_EQ(view[i].gainMeterHold, 0.4);
        EXPECT_EQ(taken[i], i == 2); // the others are muted by solo
        EXPECT_EQ(st.inputPeak, i == 2 ? 0.5 * 0.8 : 0.5);
        EXPECT_EQ(st.outputPeak, i == 2 ? 0.0 : 1e-8);
        EXPECT_EQ(st.gainMeter, i == 2 ? 0.5 * 1.3 : 0.5);
    }
    // Past the hold the meter's reading becomes the hold, for 500 ms.
    now = 1001;
    ASSERT_EQ(fx->viewBands(views, &metered, &now), 4);
    EXPECT_EQ(fx->band(2)->state.gainMeterHold, 0.5 * 1.3);
    EXPECT_EQ(fx->band(2)->state.gainMeterHoldUntil, 1501u);
    // Without a time nothing is taken.
    fx->soloCurrentBand = 0;
    ASSERT_EQ(fx->viewBands(views, &metered), 4);
    EXPECT_EQ(fx->band(0)->state.inputPeak, 0.5);
    EXPECT_FALSE(static_cast<const bool*>(metered.get())[0]);

    fx->inputPeakLeft = 0.5;
    fx->outputPeakRight = 0.25;
    const MeterPeaks peaks = fx->takeMeterPeaks(0.8);
    EXPECT_EQ(peaks.inputLeft, 0.5);
    EXPECT_EQ(peaks.outputRight, 0.25);
    EXPECT_EQ(peaks.inputRight, 0.0);
    EXPECT_EQ(fx->inputPeakLeft, 0.5 * 0.8);
    EXPECT_EQ(fx->outputPeakRight, 0.25 * 0.8);
}

} // namespace
