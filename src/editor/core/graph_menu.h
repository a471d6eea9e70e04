// The response graph's context menu as a model: its items in order with their labels (the same
// as the Windows menu resource's), their states when the menu opens, and what choosing one does.
// The Windows editor shows its resource menu and takes states and commands from here; another
// window layer draws its popup from kGraphMenuItems.
#pragma once

#include "editor/core/graph_menu_ids.h"
#include "editor/core/graph_port.h"

#include <cstdint>

class CompressorEffect;

struct GraphMenuItem {
    uint32_t command;  // an IDM_ id; 0 for a separator
    const char* label; // null for a separator
};

constexpr int32_t kGraphMenuItemCount = 11;
extern const GraphMenuItem kGraphMenuItems[kGraphMenuItemCount];

struct GraphMenuItemState {
    bool enabled = true;
    bool checked = false;
};

// An item's state as the menu opens; onHandle says whether the right click hit a handle (only
// then can "Delete band" be chosen). The switches show the instance's and the current band's
// settings (unchecked when the current band names none).
GraphMenuItemState graphMenuItemState(CompressorEffect& fx, uint32_t command, bool onHandle);

// Runs a chosen command (0 or an unknown id: nothing). The band switches toggle the current
// band's setting and report the end of a gesture, as a click on the band panel's switch does;
// the rest go to the main window through the port.
void runGraphMenuCommand(CompressorEffect& fx, GraphPort& port, uint32_t command);
