// EditorState: what the editor keeps for one instance, in types the shell cannot name: its
// windows while it is open, the response graph's gestures, band copies and back buffer. Made on
// first use and released with the instance (the editor table's releaseState), not with the
// editor window, so the buffer survives closing and reopening the editor. Only the editor's
// thread touches it; the instance itself is reached through the shell's operations.
#pragma once

#include "editor/core/graph_bands.h"
#include "editor/core/spectrum_analyzer.h"
#include "editor/core/graph_gestures.h"
#include "raster/pixo.h"
#include "support/windows_prelude.h"

#include <cstdint>

class CompressorEffect;

struct EditorState {
    HWND mainWindow = nullptr; // the open editor's window
    HWND bandPanel = nullptr;  // the window that shows the current band's settings
    // The graph's copies of the bands, for its paint and its hit tests.
    GraphBandCopies bandCopies;
    // The graph's pointer gestures (editor/core/graph_gestures.h), and their band under the
    // pointer or being dragged and DRAG_ bits under the names the main window's timer uses.
    GraphGestures gestures{bandCopies};
    int32_t& dragBand = gestures.dragBand;
    int32_t& dragMode = gestures.dragMode;
    PIXO_SysBitmap* graphBitmap = nullptr; // owned; made by the graph's first paint
    // The graph's spectrum analyzer, fed while the editor is open and shows it.
    SpectrumAnalyzer analyzer;
    // Device pixels per 96-dpi pixel, taken from the window when it opens and when its DPI
    // changes; the graph's geometry and drawing and the controls' sizes follow it.
    double scale = 1.0;
    // The edit history's change count and the A/B slot when the preset control's label was last
    // checked; the refresh timer writes the label again when either moved.
    uint64_t presetLabelChange = 0;
    int32_t presetLabelSlot = 0;
};

// The instance's record, made when missing; null when out of memory.
EditorState* editorStateOf(CompressorEffect& fx);
// The instance's record when it has one (never made here).
const EditorState* findEditorState(const CompressorEffect& fx);
// Deletes the instance's record (and the back buffer with it).
void releaseEditorStateOf(CompressorEffect& fx);

// The instance's bands as the graph sees them, copied into its record (copyGraphBands); empty
// when the record cannot be made.
GraphBands copyGraphBands(CompressorEffect& fx, const uint32_t* meterTime);

// Has the band panel show the current band's settings again (nothing without a panel).
void refreshBandPanel(CompressorEffect& fx);
