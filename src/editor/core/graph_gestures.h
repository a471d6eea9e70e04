// The response graph's pointer handling, apart from any window system: the cursor by what lies
// under the pointer, gestures (a frequency line drags the band's top frequency; a handle drags
// its threshold, with Shift its gain and with Alt its ratio, Control for fine steps), the wheel
// over a handle, and the right button that selects a handle before the context menu opens.
// Every edit is one of the instance's edit gestures (editSetting, editSettingFrom), so a result
// that is not finite is not stored. Drags report every move and, at the button's release, the
// end of each setting they edited; the wheel reports nothing. The graph does nothing on a
// double-click: the second press of one (the system's double-click message, or what a window
// layer's own double-click rule calls one) is no press and starts no gesture, while its release
// still goes to release(), which then has nothing to end.
#pragma once

#include "editor/core/graph_bands.h"
#include "editor/core/graph_port.h"

#include <cstdint>

class CompressorEffect;

// The GraphGestures::dragMode bits: what a gesture edited, and whether it moves the frequency.
constexpr int32_t DRAG_EDITED_THRESHOLD = 1;
constexpr int32_t DRAG_EDITED_FREQUENCY = 2;
constexpr int32_t DRAG_EDITED_RATIO = 4;
constexpr int32_t DRAG_EDITED_GAIN = 8;
constexpr int32_t DRAG_FREQUENCY = 0x8000;

// The modifier keys held during a pointer event.
struct GraphModifiers {
    bool control = false; // fine steps
    bool shift = false;   // gain instead of threshold or ratio
    bool alt = false;     // ratio instead of threshold
};

enum class GraphCursor : int32_t {
    Arrow,            // nothing to grab
    Hand,             // a handle
    ResizeHorizontal, // a frequency line
};

// One editor's gesture state and operations. Coordinates are the graph's client pixels; the
// geometry comes from the port's area and the instance's showTabs at each call.
class GraphGestures {
public:
    // copies: where the hit tests copy the bands (the editor's GraphBandCopies, shared with its
    // paint); it must outlive this object.
    explicit GraphGestures(GraphBandCopies& copies) : copies_(copies) {}
    GraphGestures(const GraphGestures&) = delete;
    GraphGestures& operator=(const GraphGestures&) = delete;

    // The band under the pointer or being dragged (-1: none; it drives the info box), and the
    // DRAG_ bits of the gesture under way. The window layer clears both when the pointer has
    // left the graph outside a gesture.
    int32_t dragBand = -1;
    int32_t dragMode = 0;

    GraphCursor cursorAt(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y);
    // The left button went down: a handle selects its band and starts a level gesture, a line
    // starts a frequency gesture (and selects the band only near its threshold); the port
    // captures the pointer for either.
    void press(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y);
    // A move: without the capture the hovered handle becomes dragBand; with it the gesture
    // edits its band.
    void move(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y, GraphModifiers keys);
    // The left button went up: the ends of what the gesture edited, threshold, frequency, ratio,
    // gain in that order; the capture is released.
    void release(CompressorEffect& fx, GraphPort& port);
    // delta in the system's units (120 a notch, positive away from the user) at client (x, y).
    void wheel(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y, int32_t delta, GraphModifiers keys);
    // The right button went down: a handle there selects its band; any gesture is forgotten.
    // Returns whether a handle was hit, the state the context menu opens with (graph_menu.h).
    bool rightPress(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y);

private:
    GraphBands bands(CompressorEffect& fx);
    void dragHandle(CompressorEffect& fx, const GraphGeometry& g, int32_t y, GraphModifiers keys);

    GraphBandCopies& copies_;
    // The last pointer position of the gesture.
    int32_t lastX_ = 0;
    int32_t lastY_ = 0;
};

// Makes index the current band: the tabs, the band panel and the graph follow.
void selectGraphBand(CompressorEffect& fx, GraphPort& port, int32_t index);
