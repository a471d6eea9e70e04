// The preset control's menu and label on a real instance and a real preset folder: what the
// menu lists and how it opens, what each command does to the instance and the files, and what
// it asks of and tells the user through the port. Also the undo keys and the label's fitting.
#include "graph_core_support.h"

#include "editor/core/preset_control.h"
#include "editor/core/preset_menu.h"
#include "shell/ab_slots.h"
#include "shell/edit_gesture.h"
#include "shell/edit_history.h"
#include "shell/factory_presets.h"
#include "shell/preset_library.h"
#include "shell/state_block.h"

#include <filesystem>
#include <fstream>

using namespace graphcore;
namespace fs = std::filesystem;

namespace {

// Answers the menu's questions as a test sets them and records what it was asked and told.
class ScriptedPort final : public PresetPort {
public:
    std::string nameToGive, pathToGive;
    bool yes = true, cancel = false;
    std::vector<std::string> asked, messages;
    int32_t wholeInstanceShown = 0;

    bool askPresetName(const std::string& suggested, std::string& name) override {
        asked.push_back("name [" + suggested + "]");
        name = nameToGive;
        return !cancel;
    }
    bool askYesNo(const std::string& question) override {
        asked.push_back(question);
        return yes;
    }
    bool askImportPath(std::string& path) override {
        asked.push_back("import");
        path = pathToGive;
        return !cancel;
    }
    bool askExportPath(const std::string& suggested, std::string& path) override {
        asked.push_back("export [" + suggested + "]");
        path = pathToGive;
        return !cancel;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showWholeInstance() override { ++wholeInstanceShown; }
};

class PresetMenuTest : public GraphCoreTest {
protected:
    void SetUp() override {
        GraphCoreTest::SetUp();
        root = fs::temp_directory_path() /
               (std::string("tarnwell-preset-menu-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        library = std::make_unique<PresetLibrary>((root / "presets").string());
    }
    void TearDown() override {
        GraphCoreTest::TearDown();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::vector<PresetMenuItem> items() { return presetMenuItems(*fx, library->list()); }
    const PresetMenuItem* itemLabelled(const std::string& label) {
        static std::vector<PresetMenuItem> last;
        last = items();
        for (const PresetMenuItem& item : last)
            if (item.label == label)
                return &item;
        return nullptr;
    }
    uint32_t commandOf(const std::string& presetName) {
        const std::vector<PresetEntry> listed = library->list();
        for (size_t i = 0; i < listed.size(); ++i)
            if (listed[i].name == presetName)
                return IDM_PRESET_FIRST + uint32_t(i);
        return 0;
    }
    bool run(uint32_t command) { return runPresetMenuCommand(*fx, *library, library->list(), port, command); }
    std::vector<uint8_t> block() {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(copyStateBlock(*fx, bytes));
        return bytes;
    }
    // A user's gesture: a threshold drag that ends.
    void drag(double thresholdDb) {
        ASSERT_TRUE(editSetting(*fx, 0, kSettingThreshold, dbToAmp(thresholdDb), EditReport::End));
    }

    fs::path root;
    std::unique_ptr<PresetLibrary> library;
    ScriptedPort port;
};

TEST_F(PresetMenuTest, ListsFactoryThenUserPresetsThenTheCommands) {
    std::vector<PresetMenuItem> menu = items();
    ASSERT_GT(menu.size(), size_t(factoryPresetCount()));
    for (int32_t i = 0; i < factoryPresetCount(); ++i) {
        EXPECT_EQ(menu[size_t(i)].label, factoryPreset(i).name);
        EXPECT_EQ(menu[size_t(i)].command, IDM_PRESET_FIRST + uint32_t(i));
    }
    // Without presets of their own the user is told so on a line that cannot be chosen.
    const size_t after = size_t(factoryPresetCount());
    EXPECT_TRUE(menu[after].separator());
    EXPECT_EQ(menu[after + 1].command, 0u);
    EXPECT_FALSE(menu[after + 1].enabled);

    std::vector<std::string> tail;
    for (size_t i = after + 2; i < menu.size(); ++i)
        tail.push_back(menu[i].separator() ? "-" : menu[i].label);
    EXPECT_EQ(tail, (std::vector<std::string>{"-", "Save preset...", "Import preset...", "Export preset...", "-",
                                              "Switch to B", "Copy A to B", "-", "Undo", "Redo"}));

    port.nameToGive = u8"Bäss täke";
    ASSERT_TRUE(run(IDM_PRESET_SAVE));
    menu = items();
    EXPECT_TRUE(menu[after].separator());
    EXPECT_EQ(menu[after + 1].label, u8"Bäss täke");
    EXPECT_EQ(menu[after + 1].command, IDM_PRESET_FIRST + after);
    EXPECT_TRUE(menu[after + 1].checked);
}

TEST_F(PresetMenuTest, LoadingAPresetChecksItUntilTheSoundChanges) {
    const std::string name = factoryPreset(2).name;
    EXPECT_EQ(presetControlLabel(*fx), "A: No preset");
    ASSERT_TRUE(run(commandOf(name)));
    EXPECT_EQ(port.wholeInstanceShown, 1);
    EXPECT_EQ(fx->bandCount(), factoryPreset(2).bandCount);
    EXPECT_EQ(presetControlLabel(*fx), "A: " + name);
    ASSERT_NE(itemLabelled(name), nullptr);
    EXPECT_TRUE(itemLabelled(name)->checked);

    drag(-12.0);
    EXPECT_EQ(presetControlLabel(*fx), "A: " + name + " *");
    EXPECT_FALSE(itemLabelled(name)->checked);
    // Undo from the menu brings the preset's sound back, and with it the check.
    EXPECT_TRUE(itemLabelled("Undo")->enabled);
    EXPECT_FALSE(itemLabelled("Redo")->enabled);
    ASSERT_TRUE(run(IDM_UNDO));
    EXPECT_EQ(presetControlLabel(*fx), "A: " + name);
    EXPECT_TRUE(itemLabelled(name)->checked);
    EXPECT_TRUE(itemLabelled("Redo")->enabled);
    ASSERT_TRUE(run(IDM_REDO));
    EXPECT_EQ(presetControlLabel(*fx), "A: " + name + " *");
    EXPECT_EQ(port.wholeInstanceShown, 3);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(PresetMenuTest, ABItemsSwitchAndCopyAndNameTheSlots) {
    const std::vector<uint8_t> a = block();
    ASSERT_TRUE(run(IDM_AB_SWITCH));
    EXPECT_EQ(activeAbSlot(*fx), 1);
    EXPECT_EQ(presetControlLabel(*fx), "B: No preset");
    EXPECT_NE(itemLabelled("Switch to A"), nullptr);
    EXPECT_NE(itemLabelled("Copy B to A"), nullptr);
    drag(-20.0);
    const std::vector<uint8_t> b = block();
    ASSERT_TRUE(run(IDM_AB_SWITCH));
    EXPECT_EQ(activeAbSlot(*fx), 0);
    const std::vector<uint8_t> now = block();
    const StateBlockParts parts = splitStateBlock(now.data(), now.size());
    EXPECT_EQ(std::vector<uint8_t>(now.begin(), now.begin() + long(parts.settingSize)),
              std::vector<uint8_t>(a.begin(), a.begin() + long(parts.settingSize)));
    // Copying A over B leaves A as it is and makes the next switch change nothing audible.
    ASSERT_TRUE(run(IDM_AB_COPY));
    ASSERT_TRUE(run(IDM_AB_SWITCH));
    const std::vector<uint8_t> copied = block();
    EXPECT_EQ(std::vector<uint8_t>(copied.begin(), copied.begin() + long(parts.settingSize)),
              std::vector<uint8_t>(a.begin(), a.begin() + long(parts.settingSize)));
    EXPECT_NE(copied, b);
}

TEST_F(PresetMenuTest, SavingAsksForANameAndBeforeReplacing) {
    port.nameToGive = "Mine";
    ASSERT_TRUE(run(IDM_PRESET_SAVE));
    EXPECT_EQ(port.asked, (std::vector<std::string>{"name []"}));
    const fs::path file = root / "presets" / "Mine.fxp";
    ASSERT_TRUE(fs::exists(file));
    const auto savedSize = fs::file_size(file);

    // Saving again suggests the user preset's name and asks before replacing it; "no" keeps it.
    drag(-30.0);
    drag(-31.0);
    port.asked.clear();
    port.yes = false;
    EXPECT_FALSE(run(IDM_PRESET_SAVE));
    ASSERT_EQ(port.asked.size(), 2u);
    EXPECT_EQ(port.asked[0], "name [Mine]");
    EXPECT_NE(port.asked[1].find("\"Mine\" exists already"), std::string::npos);
    EXPECT_EQ(presetControlLabel(*fx), "A: Mine *");
    port.yes = true;
    ASSERT_TRUE(run(IDM_PRESET_SAVE));
    EXPECT_EQ(presetControlLabel(*fx), "A: Mine");
    EXPECT_EQ(fs::file_size(file), savedSize);

    // A factory preset's name is refused with a message; a cancelled ask does nothing.
    port.nameToGive = factoryPreset(0).name;
    EXPECT_FALSE(run(IDM_PRESET_SAVE));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_NE(port.messages[0].find("factory preset"), std::string::npos);
    port.cancel = true;
    port.asked.clear();
    EXPECT_FALSE(run(IDM_PRESET_SAVE));
    EXPECT_EQ(port.asked.size(), 1u);
    EXPECT_EQ(port.messages.size(), 1u);
}

TEST_F(PresetMenuTest, ExportThenImportBringsTheSettingBack) {
    drag(-24.0);
    fs::create_directories(root);
    port.pathToGive = (root / "out.fxp").string();
    ASSERT_TRUE(run(IDM_PRESET_EXPORT));
    EXPECT_EQ(port.asked.back(), "export [Tarnwell preset.fxp]");
    const std::vector<uint8_t> exported = block();

    fx->addBand();
    ASSERT_TRUE(run(IDM_PRESET_IMPORT));
    // Imported under the file's name, listed and loaded.
    EXPECT_EQ(presetControlLabel(*fx), "A: out");
    EXPECT_NE(commandOf("out"), 0u);
    EXPECT_EQ(block(), exported);

    // A damaged file is refused with a message; the instance and the list stay as they were.
    const fs::path damaged = root / "damaged.fxp";
    {
        std::ofstream out(damaged, std::ios::binary);
        out << "CcnK and then nothing of use";
    }
    port.pathToGive = damaged.string();
    const size_t listed = library->list().size();
    EXPECT_FALSE(run(IDM_PRESET_IMPORT));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].rfind("The preset could not be imported", 0), 0u);
    EXPECT_EQ(block(), exported);
    EXPECT_EQ(library->list().size(), listed);
}

TEST_F(PresetMenuTest, UnknownCommandsDoNothing) {
    const std::vector<uint8_t> before = block();
    for (uint32_t command : {0u, 1u, IDM_PRESET_FIRST + 5000u, IDM_PRESET_FIRST + uint32_t(library->list().size())})
        EXPECT_FALSE(run(command));
    EXPECT_EQ(block(), before);
    EXPECT_TRUE(port.asked.empty());
    EXPECT_EQ(port.wholeInstanceShown, 0);
}

TEST(EditKeys, CtrlZUndoesCtrlShiftZAndCtrlYRedo) {
    EXPECT_EQ(editKeyCommand('Z', true, false, false), IDM_UNDO);
    EXPECT_EQ(editKeyCommand('z', true, false, false), IDM_UNDO);
    EXPECT_EQ(editKeyCommand('Z', true, true, false), IDM_REDO);
    EXPECT_EQ(editKeyCommand('y', true, false, false), IDM_REDO);
    // Without Ctrl, with Alt, other letters, and Ctrl+Shift+Y: the keys are left to others.
    EXPECT_EQ(editKeyCommand('Z', false, false, false), 0u);
    EXPECT_EQ(editKeyCommand('Z', true, false, true), 0u);
    EXPECT_EQ(editKeyCommand('X', true, false, false), 0u);
    EXPECT_EQ(editKeyCommand('Y', true, true, false), 0u);
}

TEST(PresetControlDrawing, CutsALongLabelAtACharacterAndDrawsIt) {
    PresetControlPainter painter;
    const std::string label = u8"A: Ünïcödé names run on and on *";
    EXPECT_EQ(painter.fitted(label, 10000), label);
    const std::string cut = painter.fitted(label, 90);
    ASSERT_GE(cut.size(), 4u);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    EXPECT_EQ(label.compare(0, cut.size() - 3, cut, 0, cut.size() - 3), 0);
    // The cut never ends inside a character: the byte before "..." is not a lead byte.
    EXPECT_LT(uint8_t(cut[cut.size() - 4]), 0xC0);
    EXPECT_EQ(painter.fitted(label, 0), "");

    // Drawn: the face fills the control, the text darkens some of its pixels, the arrow sits
    // in its right end, and nothing lands outside.
    PIXO_MemBitmap bitmap;
    ASSERT_TRUE(bitmap.setSize(200, 30));
    PIXO_PaintRect(&bitmap, 0, 0, 200, 30, 0xFF102030, 1.0f, PIXO_BLEND_COPY);
    painter.draw(bitmap, 10, 5, 162, 15, label, false);
    const uint32_t* px = bitmap.pixels();
    const int32_t span = bitmap.rowSpan();
    int32_t dark = 0, outside = 0;
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 200; ++x) {
            const uint32_t p = px[y * span + x] & 0xFFFFFF;
            const bool inside = x >= 10 && x < 172 && y >= 5 && y < 20;
            if (!inside && p != 0x102030)
                ++outside;
            if (inside && x > 12 && x < 150 && y > 6 && y < 19 && (p & 0xFF) < 0x60)
                ++dark;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(dark, 60);
    EXPECT_EQ(px[(5 + 7) * span + (10 + 162 - 8 - 1)] & 0xFFFFFF, 0x000000u); // the arrow's middle
}

} // namespace
