// The context menu's model: the same items as the Windows menu resource, the states it opens
// with, and what each command does to the instance, the host and the window.
#include "graph_core_support.h"

#include "editor/core/graph_menu.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

using namespace graphcore;

namespace {

// The band switches of the menu and the settings they toggle.
const struct {
    uint32_t command;
    int32_t kind;
} kSwitches[] = {{IDM_BAND_ACTIVE, kSettingActive},
                 {IDM_AUTO_MAKEUP, kSettingAutoMakeup},
                 {IDM_PROGRAM_RELEASE, kSettingProgramRelease},
                 {IDM_FEEDBACK, kSettingFeedback}};

class GraphMenuTest : public GraphCoreTest {
protected:
    GraphMenuItemState state(uint32_t command, bool onHandle = true) {
        return graphMenuItemState(*fx, command, onHandle);
    }
    void run(uint32_t command) { runGraphMenuCommand(*fx, port, command); }
};

// The menu resource's popup, item by item: "MENUITEM "label", IDM_X" or "MENUITEM SEPARATOR",
// the ids resolved through the header the resource compiler reads.
TEST(GraphMenuModel, HasTheMenuResourcesItemsInItsOrderWithItsLabels) {
    std::map<std::string, uint32_t> ids;
    {
        std::ifstream header(TARNWELL_SOURCE_DIR "/src/editor/core/graph_menu_ids.h");
        ASSERT_TRUE(header.good());
        const std::regex define(R"re(^#define (IDM_\w+) (\d+))re");
        for (std::string line; std::getline(header, line);)
            if (std::smatch m; std::regex_search(line, m, define))
                ids[m[1]] = uint32_t(std::stoul(m[2]));
    }
    std::ifstream rc(TARNWELL_SOURCE_DIR "/src/editor/editor.rc");
    ASSERT_TRUE(rc.good());
    std::vector<GraphMenuItem> items;
    std::vector<std::string> labels; // owned here; items point into them
    labels.reserve(32);
    bool inMenu = false;
    const std::regex item(R"re(^\s*MENUITEM\s+"([^"]*)",\s*(IDM_\w+))re");
    const std::regex separator(R"re(^\s*MENUITEM\s+SEPARATOR)re");
    for (std::string line; std::getline(rc, line);) {
        if (line.rfind("IDR_GRAPH_MENU", 0) == 0)
            inMenu = true;
        else if (inMenu && line.rfind("END", 0) == 0)
            break;
        if (!inMenu)
            continue;
        if (std::smatch m; std::regex_search(line, m, item)) {
            ASSERT_TRUE(ids.count(m[2])) << line;
            labels.push_back(m[1]);
            items.push_back({ids[m[2]], labels.back().c_str()});
        } else if (std::regex_search(line, separator)) {
            items.push_back({0, nullptr});
        }
    }
    ASSERT_EQ(int32_t(items.size()), kGraphMenuItemCount);
    for (int32_t i = 0; i < kGraphMenuItemCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kGraphMenuItems[i].command, items[size_t(i)].command);
        if (items[size_t(i)].label)
            EXPECT_STREQ(kGraphMenuItems[i].label, items[size_t(i)].label);
        else
            EXPECT_EQ(kGraphMenuItems[i].label, nullptr);
    }
}

TEST_F(GraphMenuTest, DeleteIsEnabledOnlyOnAHandleAndEveryOtherItemAlways) {
    for (const GraphMenuItem& item : kGraphMenuItems) {
        if (!item.command)
            continue;
        SCOPED_TRACE(item.label);
        EXPECT_TRUE(state(item.command, true).enabled);
        EXPECT_EQ(state(item.command, false).enabled, item.command != IDM_DELETE_BAND);
    }
}

TEST_F(GraphMenuTest, ChecksShowTheViewOptionsAndTheCurrentBandsSwitches) {
    fx->soloCurrentBand = 1;
    fx->showTabs = 0;
    fx->showGrid = 1;
    EXPECT_TRUE(state(IDM_SOLO_BAND).checked);
    EXPECT_FALSE(state(IDM_SHOW_TABS).checked);
    EXPECT_TRUE(state(IDM_SHOW_GRID).checked);
    EXPECT_FALSE(state(IDM_ADD_BAND).checked);

    // Band 2 differs from band 0 in every switch.
    for (const auto& s : kSwitches)
        set(2, s.kind, get(0, s.kind) != 0 ? 0.0 : 1.0);
    for (const int32_t band : {0, 2}) {
        fx->currentBand = band;
        for (const auto& s : kSwitches)
            EXPECT_EQ(state(s.command).checked, get(band, s.kind) != 0) << band << " " << s.command;
    }
    fx->currentBand = 9; // no such band: nothing checked
    for (const auto& s : kSwitches)
        EXPECT_FALSE(state(s.command).checked);
}

TEST_F(GraphMenuTest, TheMainWindowsCommandsGoThroughThePortWithTheSwitchesNewState) {
    fx->soloCurrentBand = 0;
    fx->showTabs = 1;
    fx->showGrid = 0;
    for (const uint32_t command :
         {uint32_t(IDM_ADD_BAND), uint32_t(IDM_DELETE_BAND), uint32_t(IDM_SOLO_BAND), uint32_t(IDM_SHOW_TABS),
          uint32_t(IDM_SHOW_GRID), 0u, 12345u})
        run(command);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"main AddBand 0", "main DeleteBand 0", "main Solo 1",
                                                    "main ShowTabs 0", "main ShowGrid 1"}));
    // The port runs them; the model changes nothing itself.
    EXPECT_EQ(fx->soloCurrentBand, 0);
    EXPECT_EQ(fx->showTabs, 1);
    EXPECT_EQ(fx->viewBandCount(), 4);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(GraphMenuTest, ABandSwitchTogglesTheCurrentBandAndReportsTheEndOfAGesture) {
    fx->currentBand = 1;
    for (const auto& s : kSwitches) {
        SCOPED_TRACE(s.command);
        const double before = get(1, s.kind);
        const double others[] = {get(0, s.kind), get(2, s.kind)};
        hostCalls.clear();
        port.calls.clear();
        run(s.command);
        EXPECT_EQ(get(1, s.kind), before != 0 ? 0.0 : 1.0);
        EXPECT_EQ(get(0, s.kind), others[0]);
        EXPECT_EQ(get(2, s.kind), others[1]);
        ASSERT_EQ(hostCalls.size(), 1u);
        EXPECT_EQ(hostCalls[0].opcode, audioMasterEndEdit);
        EXPECT_EQ(hostCalls[0].index, 12 + s.kind);
        EXPECT_EQ(port.calls, std::vector<std::string>{"panel"});
        run(s.command);
        EXPECT_EQ(get(1, s.kind), before);
    }
    // A current band that names no band: nothing changes, nothing is told.
    fx->currentBand = 7;
    hostCalls.clear();
    port.calls.clear();
    run(IDM_BAND_ACTIVE);
    EXPECT_TRUE(hostCalls.empty());
    EXPECT_TRUE(port.calls.empty());
}

} // namespace
