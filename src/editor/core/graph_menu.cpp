#include "editor/core/graph_menu.h"

#include "shell/compressor_effect.h"
#include "shell/edit_gesture.h"

const GraphMenuItem kGraphMenuItems[kGraphMenuItemCount] = {
    {IDM_ADD_BAND, "Add new band"},
    {IDM_DELETE_BAND, "Delete band"},
    {0, nullptr},
    {IDM_SOLO_BAND, "Solo current band"},
    {IDM_SHOW_TABS, "Show tabs"},
    {IDM_SHOW_GRID, "Show grid"},
    {0, nullptr},
    {IDM_BAND_ACTIVE, "Band active"},
    {IDM_AUTO_MAKEUP, "Auto makeup gain"},
    {IDM_PROGRAM_RELEASE, "Program dependent release"},
    {IDM_FEEDBACK, "Feedback detector"},
};

namespace {

struct BandSwitch {
    uint32_t command;
    int32_t kind;
};
constexpr BandSwitch kBandSwitches[] = {{IDM_BAND_ACTIVE, kSettingActive},
                                        {IDM_AUTO_MAKEUP, kSettingAutoMakeup},
                                        {IDM_PROGRAM_RELEASE, kSettingProgramRelease},
                                        {IDM_FEEDBACK, kSettingFeedback}};

bool bandSwitchOn(const BandSettings& s, uint32_t command) {
    switch (command) {
    case IDM_BAND_ACTIVE:
        return s.active;
    case IDM_AUTO_MAKEUP:
        return s.autoMakeupGain;
    case IDM_PROGRAM_RELEASE:
        return s.programDependentRelease;
    case IDM_FEEDBACK:
        return s.feedbackDetector;
    default:
        return false;
    }
}

} // namespace

GraphMenuItemState graphMenuItemState(CompressorEffect& fx, uint32_t command, bool onHandle) {
    GraphMenuItemState state;
    switch (command) {
    case IDM_DELETE_BAND:
        state.enabled = onHandle;
        return state;
    case IDM_SOLO_BAND:
        state.checked = fx.soloCurrentBand != 0;
        return state;
    case IDM_SHOW_TABS:
        state.checked = fx.showTabs != 0;
        return state;
    case IDM_SHOW_GRID:
        state.checked = fx.showGrid != 0;
        return state;
    default:
        break;
    }
    for (const BandSwitch& s : kBandSwitches) {
        BandView view;
        if (s.command == command && fx.viewBand(fx.currentBand, view))
            state.checked = bandSwitchOn(view.settings, command);
    }
    return state;
}

void runGraphMenuCommand(CompressorEffect& fx, GraphPort& port, uint32_t command) {
    switch (command) {
    case IDM_ADD_BAND:
        port.runMainCommand(GraphMainCommand::AddBand, false);
        return;
    case IDM_DELETE_BAND:
        port.runMainCommand(GraphMainCommand::DeleteBand, false);
        return;
    case IDM_SOLO_BAND:
        port.runMainCommand(GraphMainCommand::Solo, fx.soloCurrentBand == 0);
        return;
    case IDM_SHOW_TABS:
        port.runMainCommand(GraphMainCommand::ShowTabs, fx.showTabs == 0);
        return;
    case IDM_SHOW_GRID:
        port.runMainCommand(GraphMainCommand::ShowGrid, fx.showGrid == 0);
        return;
    default:
        break;
    }
    // A toggle is the same edit as a click on the band panel's switch, and tells the host the
    // same: the end of a gesture that the click was all of.
    for (const BandSwitch& s : kBandSwitches)
        if (s.command == command &&
            editSettingFrom(fx, fx.currentBand, s.kind, [](double on) { return on != 0 ? 0.0 : 1.0; },
                            EditReport::End))
            port.refreshBandPanel();
}
