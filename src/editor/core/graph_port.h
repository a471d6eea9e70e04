// What the response graph asks of the window it lives in. The graph's gestures and menu run in
// the portable core; the window layer (Win32 or X11) implements this port for the few things
// only it can do: the pointer capture, repainting, the main window's tabs, band panel and
// buttons. Every call comes on the editor's thread, never under the instance lock.
#pragma once

#include <cstdint>

// The commands of the main window that the graph's menu reaches: the buttons "Add band" and
// "Delete band" and the switches "Solo", "Tabs" and "Grid". The main window's own handler makes
// the change, so a menu item and a click on the control do the same.
enum class GraphMainCommand : int32_t { AddBand, DeleteBand, Solo, ShowTabs, ShowGrid };

// The graph's client area in device pixels and the editor's scale (device pixels per 96-dpi
// pixel).
struct GraphArea {
    int32_t width = 0;
    int32_t height = 0;
    double scale = 1.0;
};

class GraphPort {
public:
    virtual ~GraphPort() = default;

    virtual GraphArea area() = 0;
    // Pointer capture: moves reach the graph while the button is held, wherever the pointer is.
    virtual void capturePointer() = 0;
    virtual void releasePointer() = 0;
    virtual bool holdsPointer() = 0;
    // Asks for a repaint of the graph (soon, not necessarily now).
    virtual void repaintGraph() = 0;
    // The current band has become index: the band tabs show it.
    virtual void showCurrentBand(int32_t index) = 0;
    // The band panel shows the current band's settings again.
    virtual void refreshBandPanel() = 0;
    // Runs a main-window command; on is the new state of a switch (unused by the buttons).
    virtual void runMainCommand(GraphMainCommand command, bool on) = 0;
};
