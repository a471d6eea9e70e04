// The dispatcher table as a host sees it: fixed answers, identity texts, capabilities, the
// editor size without an editor, sample rate and suspend, and the calls it must refuse.
#include "host_calls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        effect = VSTPluginMain(nullptr);
        ASSERT_NE(effect, nullptr);
        fx = instanceOf(effect);
    }
    void TearDown() override { dispatch(effect, effClose); }

    // Runs one block of a loud signal so the bands hold detector and filter state.
    void processLoud() {
        std::vector<float> in(512), out(512);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = (i % 40 < 20) ? 0.9f : -0.9f;
        float* inputs[2] = {in.data(), in.data()};
        std::vector<float> outRight(512);
        float* outputs[2] = {out.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, 512);
    }

    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
};

TEST_F(DispatcherTest, FixedAnswers) {
    EXPECT_EQ(dispatch(effect, effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), 1);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);

    // Scanners list a plug-in whose name query answers 0 without a name.
    TextAnswer name = askText(effect, effGetEffectName, 0);
    EXPECT_EQ(name.result, 1);
    EXPECT_EQ(name.text, "Tarnwell-STAND64");
    TextAnswer product = askText(effect, effGetProductString, 0);
    EXPECT_EQ(product.result, 1);
    EXPECT_EQ(product.text, "Tarnwell-STAND64");
    TextAnswer vendor = askText(effect, effGetVendorString, 0);
    EXPECT_EQ(vendor.result, 1);
    EXPECT_EQ(vendor.text, "Vantor");

    for (int32_t opcode : {effGetProgramName, effGetProgramNameIndexed}) {
        TextAnswer program = askText(effect, opcode, 0);
        EXPECT_EQ(program.result, 0);
        EXPECT_EQ(program.text, "");
    }
}

TEST_F(DispatcherTest, CapabilitiesAreOnlyTheVendorStrings) {
    char extensions[] = "hasVantorExtensions";
    char viewAsConfig[] = "hasVantorViewAsConfig";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, extensions), 0xbeef0000);
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, viewAsConfig), 0xbeef0000);
    for (const char* other : {"sendVstEvents", "receiveVstMidiEvent", "plugAsChannelInsert", "bypass",
                              "hasVantorExtension", "hasVantorExtensionsX", ""}) {
        std::string text = other;
        EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, &text[0]), 0) << other;
    }
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, nullptr), 0);
}

TEST_F(DispatcherTest, UnhandledOpcodesAnswerZeroAndChangeNothing) {
    const std::vector<uint8_t> before = getChunk(effect);
    char buffer[256] = "untouched";
    const int32_t unhandled[] = {effOpen,
                                 effSetProgram,
                                 effGetProgram,
                                 effSetProgramName,
                                 effSetBlockSize,
                                 effEditIdle,
                                 effProcessEvents,
                                 effString2Parameter,
                                 effGetVendorVersion,
                                 effGetTailSize,
                                 effGetParameterProperties,
                                 9,
                                 16,
                                 30,
                                 40,
                                 44,
                                 46};
    for (int32_t opcode : unhandled)
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, buffer, 1.0f), 0) << opcode;
    for (int32_t opcode = 52; opcode < 200; ++opcode) {
        if (opcode == effGetVstVersion)
            continue; // answered above
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, buffer, 1.0f), 0) << opcode;
    }
    EXPECT_EQ(dispatch(effect, -1, 1, 1, buffer, 1.0f), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(getChunk(effect), before);
    EXPECT_EQ(effect->numParams, 48);
}

TEST_F(DispatcherTest, NullPointersAreRefused) {
    for (int32_t opcode :
         {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName, effEditGetRect,
          effGetChunk, effSetChunk, effGetProgramNameIndexed, effGetEffectName, effGetVendorString,
          effGetProductString, effVendorSpecific, effCanDo})
        EXPECT_EQ(dispatch(effect, opcode, 0, 300, nullptr), 0) << opcode;

    // A negative size with a real block is refused as well.
    fx->outputGain = 0.5;
    std::vector<uint8_t> block = getChunk(effect);
    EXPECT_EQ(dispatch(effect, effSetChunk, 0, -1, block.data()), 0);
    EXPECT_EQ(dispatch(effect, effSetChunk, 0, INTPTR_MIN, block.data()), 0);
    EXPECT_EQ(fx->outputGain, 0.5);
    EXPECT_EQ(fx->editorNeedsRefresh, 0);
}

TEST_F(DispatcherTest, EveryOpcodeWithoutAnInstanceAnswersZero) {
    AEffect orphan = *effect;
    orphan.object = nullptr;
    char buffer[256] = "untouched";
    for (int32_t opcode = -1; opcode < 70; ++opcode)
        EXPECT_EQ(orphan.dispatcher(&orphan, opcode, 0, 0, buffer, 44100.0f), 0) << opcode;
    std::string canDo = "hasVantorExtensions";
    EXPECT_EQ(orphan.dispatcher(&orphan, effCanDo, 0, 0, &canDo[0], 0), 0);
    EXPECT_EQ(orphan.dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0), 0);
    EXPECT_STREQ(buffer, "untouched");
}

TEST_F(DispatcherTest, EditorSizeWithoutAnEditor) {
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_EQ(rect, &fx->editorRect);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 300);
    EXPECT_EQ(rect->right, 400);
    EXPECT_EQ(dispatch(effect, effEditOpen, 0, 0, nullptr), 0);
    EXPECT_FALSE(fx->meteringWanted);
    EXPECT_EQ(dispatch(effect, effEditClose), 0);
}

TEST_F(DispatcherTest, SampleRateResetsTheBands) {
    processLoud();
    ASSERT_GT(fx->band(0)->state.envelope, 0.0);
    EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_EQ(fx->sampleRate, 96000.0);
    for (int32_t i = 0; i < fx->bandCount(); ++i) {
        EXPECT_EQ(fx->band(i)->state.sampleRate, 96000.0);
        EXPECT_EQ(fx->band(i)->filter.sampleRate, 96000.0);
        EXPECT_EQ(fx->band(i)->state.envelope, 0.0);
    }
    // 5 ms at 96 kHz: a 480-pair RMS ring.
    EXPECT_EQ(fx->band(0)->state.rmsLength(), 480);

    // Rates outside 1000..1000000 Hz are not real ones and are ignored like non-finite ones.
    for (float bad : {0.0f, -44100.0f, 999.0f, 1000001.0f, 1e9f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, 0, nullptr, bad), 0);
        EXPECT_EQ(fx->sampleRate, 96000.0) << bad;
    }
    for (float edge : {1000.0f, 1000000.0f}) {
        EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, 0, nullptr, edge), 0);
        EXPECT_EQ(fx->sampleRate, double(edge));
    }
}

TEST_F(DispatcherTest, SuspendResetsResumeDoesNot) {
    processLoud();
    fx->inputPeakLeft = fx->outputPeakRight = 0.5;
    const double envelope = fx->band(0)->state.envelope;
    ASSERT_GT(envelope, 0.0);
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 1), 0);
    EXPECT_EQ(fx->inputPeakLeft, 0.5);
    EXPECT_EQ(fx->band(0)->state.envelope, envelope);

    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 0), 0);
    EXPECT_EQ(fx->inputPeakLeft, 0.0);
    EXPECT_EQ(fx->outputPeakRight, 0.0);
    for (int32_t i = 0; i < fx->bandCount(); ++i)
        EXPECT_EQ(fx->band(i)->state.envelope, 0.0);
}

} // namespace
