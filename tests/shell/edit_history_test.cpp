// Undo and redo over the editor's edits and the band-list operations, and the A/B compare:
// each earlier state comes back byte for byte (the state block), the host hears what changed,
// and both settings survive a host session.
#include "host_calls.h"
#include "shell/ab_slots.h"
#include "shell/edit_gesture.h"
#include "shell/edit_history.h"
#include "shell/preset_library.h"
#include "shell/state_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct HostCall {
    int32_t opcode, index;
    int32_t message[2];
    float opt;
};
std::vector<HostCall> hostCalls;

intptr_t VST_CALL recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float opt) {
    HostCall call{opcode, index, {0, 0}, opt};
    if (opcode == audioMasterVendorSpecific && ptr)
        std::memcpy(call.message, ptr, sizeof(call.message));
    hostCalls.push_back(call);
    return 0;
}

class EditHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls.clear();
        effect = VSTPluginMain(recordingHost);
        ASSERT_NE(effect, nullptr);
        fx = instanceOf(effect);
    }
    void TearDown() override { dispatch(effect, effClose); }
    // The instance's block, not the host's copy (which getChunk would replace).
    std::vector<uint8_t> block() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(copyStateBlock(*fx, bytes));
        return bytes;
    }
    // One fader drag of band 0's threshold: many moves, then the end.
    void dragThreshold(double to) {
        for (int i = 1; i <= 10; ++i)
            editSetting(*fx, 0, kSettingThreshold, to * i / 10, i == 10 ? EditReport::End : EditReport::Move);
    }
    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
};

TEST_F(EditHistoryTest, NothingToUndoOrRedoOnANewInstance) {
    EXPECT_FALSE(canUndoEdit(*fx));
    EXPECT_FALSE(canRedoEdit(*fx));
    const std::vector<uint8_t> before = block();
    EXPECT_FALSE(undoEdit(*fx));
    EXPECT_FALSE(redoEdit(*fx));
    EXPECT_EQ(block(), before);
}

TEST_F(EditHistoryTest, EditsAndBandOperationsUndoAndRedoExactlyToEachState) {
    std::vector<std::vector<uint8_t>> states{block()};
    dragThreshold(0.25);
    states.push_back(block());
    fx->addBand();
    states.push_back(block());
    editSetting(*fx, 2, kSettingRatio, 6.0, EditReport::End);
    states.push_back(block());
    fx->currentBand = 1;
    fx->deleteCurrentBand();
    states.push_back(block());
    fx->resetToDefaults();
    states.push_back(block());
    editSettingFrom(
        *fx, 3, kSettingActive, [](double on) { return on != 0 ? 0.0 : 1.0; }, EditReport::End);
    states.push_back(block());
    // Every step changed the block, so none could be skipped unnoticed.
    for (size_t i = 1; i < states.size(); ++i)
        ASSERT_NE(states[i], states[i - 1]) << "step " << i;

    for (size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(undoEdit(*fx)) << "undo to " << i - 1;
        EXPECT_EQ(block(), states[i - 1]) << "after undoing step " << i;
        EXPECT_EQ(effect->numParams, fx->bandCount() * kParametersPerBand);
    }
    EXPECT_FALSE(canUndoEdit(*fx));
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(redoEdit(*fx)) << "redo to " << i;
        EXPECT_EQ(block(), states[i]) << "after redoing step " << i;
    }
    EXPECT_FALSE(canRedoEdit(*fx));
}

TEST_F(EditHistoryTest, AWholeDragIsOneStepAndANewEditClearsRedo) {
    const std::vector<uint8_t> start = block();
    dragThreshold(0.5);
    ASSERT_TRUE(undoEdit(*fx));
    EXPECT_EQ(block(), start);
    EXPECT_FALSE(canUndoEdit(*fx));
    EXPECT_TRUE(canRedoEdit(*fx));
    dragThreshold(0.125);
    EXPECT_FALSE(canRedoEdit(*fx));
}

TEST_F(EditHistoryTest, KeepsTheLatest128Steps) {
    std::vector<std::vector<uint8_t>> states{block()};
    for (int i = 1; i <= 140; ++i) {
        editSetting(*fx, 1, kSettingAttack, double(i), EditReport::End);
        states.push_back(block());
    }
    int undone = 0;
    while (undoEdit(*fx))
        ++undone;
    EXPECT_EQ(undone, 128);
    EXPECT_EQ(block(), states[140 - 128]);
}

TEST_F(EditHistoryTest, UndoTellsTheHostTheBandCountAndTheValuesThatChanged) {
    dragThreshold(0.25);
    fx->addBand();
    hostCalls.clear();
    ASSERT_TRUE(undoEdit(*fx)); // removes the added band again: 60 parameters back to 48
    ASSERT_FALSE(hostCalls.empty());
    EXPECT_EQ(hostCalls[0].opcode, audioMasterVendorSpecific);
    EXPECT_EQ(hostCalls[0].message[0], 48);
    EXPECT_EQ(hostCalls[0].message[1], -12);
    EXPECT_EQ(hostCalls.back().opcode, audioMasterAutomate);
    EXPECT_EQ(hostCalls.back().index, -1);

    hostCalls.clear();
    ASSERT_TRUE(undoEdit(*fx)); // the drag: only band 0's threshold changes
    std::vector<int32_t> automated;
    for (const HostCall& call : hostCalls) {
        EXPECT_NE(call.opcode, audioMasterVendorSpecific) << "the band count did not change";
        if (call.opcode == audioMasterAutomate && call.index >= 0) {
            automated.push_back(call.index);
            EXPECT_FLOAT_EQ(call.opt, effect->getParameter(effect, call.index));
        }
    }
    EXPECT_EQ(automated, std::vector<int32_t>{kSettingThreshold});
}

TEST_F(EditHistoryTest, AHostStateLoadStartsTheHistoryAfresh) {
    dragThreshold(0.25);
    const std::vector<uint8_t> saved = getChunk(effect);
    dragThreshold(0.5);
    setChunk(effect, saved, saved.size());
    EXPECT_FALSE(canUndoEdit(*fx));
    dragThreshold(0.75);
    ASSERT_TRUE(undoEdit(*fx));
    EXPECT_EQ(block(), saved);
}

TEST_F(EditHistoryTest, PresetNameAndItsChangeMark) {
    EXPECT_EQ(currentPresetName(*fx), "");
    EXPECT_FALSE(modifiedSincePreset(*fx));
    std::string error;
    const uint64_t changes = editChangeCount(*fx);
    ASSERT_TRUE(loadPreset(*fx, PresetLibrary(""), "De-esser", error)) << error;
    EXPECT_GT(editChangeCount(*fx), changes);
    EXPECT_EQ(currentPresetName(*fx), "De-esser");
    EXPECT_FALSE(modifiedSincePreset(*fx));
    fx->showGrid = 0; // a view option is no change of the preset
    closeEditStep(*fx);
    EXPECT_FALSE(modifiedSincePreset(*fx));
    dragThreshold(0.5);
    EXPECT_TRUE(modifiedSincePreset(*fx));
    ASSERT_TRUE(undoEdit(*fx));
    EXPECT_FALSE(modifiedSincePreset(*fx));
    ASSERT_TRUE(undoEdit(*fx));
    ASSERT_TRUE(undoEdit(*fx)); // the preset load itself is a step
    EXPECT_EQ(fx->bandCount(), 4);
    // Undoing the load names what was there before it (no preset), redoing it the preset again.
    EXPECT_EQ(currentPresetName(*fx), "");
    EXPECT_FALSE(modifiedSincePreset(*fx));
    ASSERT_TRUE(redoEdit(*fx));
    EXPECT_EQ(currentPresetName(*fx), "De-esser");
    EXPECT_FALSE(modifiedSincePreset(*fx));

    // One preset after another: each undo names the preset its state came from.
    ASSERT_TRUE(loadPreset(*fx, PresetLibrary(""), "Bass control", error)) << error;
    dragThreshold(0.25);
    ASSERT_TRUE(undoEdit(*fx));
    EXPECT_EQ(currentPresetName(*fx), "Bass control");
    EXPECT_FALSE(modifiedSincePreset(*fx));
    ASSERT_TRUE(undoEdit(*fx));
    EXPECT_EQ(currentPresetName(*fx), "De-esser");
    ASSERT_TRUE(redoEdit(*fx));
    ASSERT_TRUE(redoEdit(*fx));
    EXPECT_EQ(currentPresetName(*fx), "Bass control");
    EXPECT_TRUE(modifiedSincePreset(*fx));
}

// A/B -----------------------------------------------------------------------------------

TEST_F(EditHistoryTest, SwitchingAlternatesBetweenTwoCompleteSettings) {
    EXPECT_EQ(activeAbSlot(*fx), 0);
    const std::vector<uint8_t> a = block();
    ASSERT_TRUE(switchAbSlot(*fx)); // B starts as a copy of A
    EXPECT_EQ(activeAbSlot(*fx), 1);
    fx->addBand();
    dragThreshold(0.25);
    std::vector<uint8_t> b = block();
    b.resize(splitStateBlock(b.data(), b.size()).settingSize);

    ASSERT_TRUE(switchAbSlot(*fx));
    EXPECT_EQ(activeAbSlot(*fx), 0);
    std::vector<uint8_t> now = block();
    const StateBlockParts parts = splitStateBlock(now.data(), now.size());
    EXPECT_EQ(std::vector<uint8_t>(now.begin(), now.begin() + long(parts.settingSize)), a);
    ASSERT_NE(parts.other, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(parts.other, parts.other + parts.otherSize), b);
    EXPECT_EQ(effect->numParams, 48);

    ASSERT_TRUE(switchAbSlot(*fx));
    EXPECT_EQ(fx->bandCount(), 5);
    EXPECT_EQ(effect->numParams, 60);
    // The switches are steps: undoing one goes back to the other setting.
    ASSERT_TRUE(undoEdit(*fx));
    EXPECT_EQ(activeAbSlot(*fx), 0);
    EXPECT_EQ(fx->bandCount(), 4);
}

TEST_F(EditHistoryTest, CopyToTheOtherSlotLeavesTheInstanceAndFillsTheSlot) {
    dragThreshold(0.25);
    const std::vector<uint8_t> a = block();
    ASSERT_TRUE(copyToOtherSlot(*fx));
    std::vector<uint8_t> now = block();
    const StateBlockParts parts = splitStateBlock(now.data(), now.size());
    EXPECT_EQ(std::vector<uint8_t>(now.begin(), now.begin() + long(parts.settingSize)), a);
    ASSERT_NE(parts.other, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(parts.other, parts.other + parts.otherSize), a);
    EXPECT_EQ(activeAbSlot(*fx), 0);
}

TEST_F(EditHistoryTest, BothSettingsSurviveAHostSessionAndOlderBlocksLeaveNoSecond) {
    ASSERT_TRUE(switchAbSlot(*fx));
    fx->addBand();
    const std::vector<uint8_t> session = getChunk(effect);
    ASSERT_GT(session.size(), size_t(kStateBlockFixedBytes + 5 * kBandRecordSize));

    AEffect* reloaded = VSTPluginMain(recordingHost);
    setChunk(reloaded, session, session.size());
    EXPECT_EQ(getChunk(reloaded), session);
    EXPECT_EQ(activeAbSlot(*instanceOf(reloaded)), 1);
    ASSERT_TRUE(switchAbSlot(*instanceOf(reloaded)));
    EXPECT_EQ(instanceOf(reloaded)->bandCount(), 4);
    EXPECT_EQ(reloaded->numParams, 48);

    // What an older version reads: the fields up to the view flags, the same as a block
    // without a second setting; and such a block leaves no second setting behind.
    const StateBlockParts parts = splitStateBlock(session.data(), session.size());
    const std::vector<uint8_t> older(session.begin(), session.begin() + long(parts.settingSize));
    setChunk(reloaded, older, older.size());
    EXPECT_EQ(getChunk(reloaded), older);
    EXPECT_EQ(activeAbSlot(*instanceOf(reloaded)), 0);
    dispatch(reloaded, effClose);
}

TEST_F(EditHistoryTest, AMalformedSecondSettingIsIgnored) {
    ASSERT_TRUE(copyToOtherSlot(*fx));
    std::vector<uint8_t> session = getChunk(effect);
    const StateBlockParts parts = splitStateBlock(session.data(), session.size());
    // A length that runs past the end, and a slot number that is neither A nor B.
    for (size_t field : {parts.settingSize + 4, parts.settingSize}) {
        std::vector<uint8_t> bad = session;
        bad[field] = 0x7F;
        setChunk(effect, bad, bad.size());
        EXPECT_EQ(getChunk(effect),
                  std::vector<uint8_t>(session.begin(), session.begin() + long(parts.settingSize)));
    }
}

TEST_F(EditHistoryTest, ASecondSettingKeepsOnlyWhatReadsAsASetting) {
    ASSERT_TRUE(copyToOtherSlot(*fx));
    const std::vector<uint8_t> session = getChunk(effect);
    const StateBlockParts parts = splitStateBlock(session.data(), session.size());
    const std::vector<uint8_t> setting(session.begin(), session.begin() + long(parts.settingSize));

    // A second setting whose header claims more bands than it holds is no setting: dropped.
    std::vector<uint8_t> unreadable = session;
    unreadable[parts.settingSize + 8 + 4] = 0x40;
    setChunk(effect, unreadable, unreadable.size());
    EXPECT_EQ(getChunk(effect), setting);

    // One that carries a trailer of its own keeps its setting only, so that switching twice
    // still comes back to this setting with the other one beside it.
    std::vector<uint8_t> nested = setting;
    const std::vector<uint8_t> inner = session; // setting + trailer + setting
    const int32_t length = int32_t(inner.size());
    for (int32_t v : {0, length})
        for (int i = 0; i < 4; ++i)
            nested.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    nested.insert(nested.end(), inner.begin(), inner.end());
    setChunk(effect, nested, nested.size());
    EXPECT_EQ(getChunk(effect), session);
    ASSERT_TRUE(switchAbSlot(*fx));
    ASSERT_TRUE(switchAbSlot(*fx));
    EXPECT_EQ(getChunk(effect), session);
}

} // namespace
