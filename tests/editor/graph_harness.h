// A response graph in a window of the test's own, the way a host and the editor dialog hold
// one: an instance made through VSTPluginMain with a recording host, a parent window whose
// GWLP_USERDATA holds the instance (with the check boxes and buttons the graph's menu talks
// to), and the graph as its child 1023. Pixels are read back from the window with BitBlt;
// mouse input goes through SendInput and modifier keys through the X server (xdotool).
#pragma once

#include "support/windows_prelude.h"

#include "desktop_input.h"
#include "editor/editor_state.h"
#include "editor/resource.h"
#include "host/picture.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace graphtest {

struct HostCall {
    int32_t opcode;
    int32_t index;
    float value;
};
extern std::vector<HostCall> hostCalls;

// What the plug-in's DllMain does, once per program: installs the Win32 editor with this
// program's module handle, and registers the test parent's window class.
void attachOnce();

// Pixel words as the window shows them, 0x00RRGGBB, row after row.
using Picture = ::Picture;

// The commands the graph sent its parent, with the check box state at the time.
struct ParentCommand {
    int id;
    int checked; // BST_CHECKED / BST_UNCHECKED of the control with that id, -1 without one
};

// What the context menu showed: each item's state (GetMenuState) by command id.
struct MenuSeen {
    bool opened = false;
    std::map<UINT, UINT> states;
    bool checked(UINT id) const { return (states.at(id) & MF_CHECKED) != 0; }
    bool greyed(UINT id) const { return (states.at(id) & MF_GRAYED) != 0; }
};

class GraphWindowTest : public ::testing::Test {
protected:
    // The graph in the test's own parent window.
    static constexpr int32_t kWidth = 465;
    static constexpr int32_t kHeight = 120;
    static constexpr int32_t kLeft = 100, kTop = 100; // the parent's screen position

    void SetUp() override;
    void TearDown() override;
    // Makes parent and graph; the default is the test's own parent with the graph at its origin.
    virtual void openGraph();
    virtual void closeGraph();

    // Paints the graph now and reads the window back.
    Picture capture();
    // Reads a window's client area back as it shows now (with its children).
    static Picture captureWindow(HWND window);
    // Runs the thread's messages for about ms milliseconds.
    static void pump(int ms = 60);

    // Mouse input at graph client coordinates.
    void moveTo(int32_t x, int32_t y);
    void leftDown();
    void leftUp();
    void rightClick(int32_t x, int32_t y);
    void wheel(int32_t x, int32_t y, int32_t delta);
    // Right-clicks at (x, y), reads the popup's items while it is open and clicks item (0:
    // clicks outside the menu, choosing nothing). Returns once the menu has closed.
    MenuSeen useMenu(int32_t x, int32_t y, UINT item);
    // Holds a key ("shift", "ctrl", "alt") through the X server until release or TearDown.
    void press(const char* key);
    void release(const char* key);

    // Band settings under the lock, for setting up and checking.
    void set(int32_t band, int32_t kind, double value);
    double get(int32_t band, int32_t kind);
    void setMeters(int32_t band, double input, double detector, double output, double gainMeter);

    // Mapping of the graph's geometry, from the formulas, for the tests' expectations.
    int32_t xOf(double f) const {
        return int32_t(std::log((f - 20.0) / 23980.0 * 400.0 + 1.0) * (1.0 / 5.993961427306569) *
                       graphWidth());
    }
    int32_t yOfDb(double db) const {
        const double bottom = fx->showTabs ? -60.0 : -90.0, span = fx->showTabs ? 66.0 : 102.0;
        const int32_t h = graphHeight();
        return h - int32_t((db - bottom) * (h / span));
    }
    int32_t graphWidth() const { return clientSize().x; }
    int32_t graphHeight() const { return clientSize().y; }
    // The handle centre of a band that spans previousFrequency .. frequency.
    int32_t handleX(double previousFrequency, double frequency) const {
        return (xOf(previousFrequency) + xOf(frequency)) / 2;
    }

    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
    HWND parent = nullptr;
    HWND graph = nullptr;
    std::vector<ParentCommand> commands;
    int bandPanelRefreshes = 0; // MSG_REFRESH_BAND received (the parent stands in for the panel)
    HWND tabs = nullptr;        // the main window's band tabs, one per default band

private:
    POINT clientSize() const {
        RECT client = {0, 0, 0, 0};
        GetClientRect(graph, &client);
        return {client.right, client.bottom};
    }
    std::vector<std::pair<std::string, std::unique_ptr<editortest::HeldKey>>> heldKeys_;
    static HWND sharedParent();
    static LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// Colours as the window shows them.
constexpr uint32_t rgb(uint32_t argb) {
    return argb & 0xFFFFFF;
}

} // namespace graphtest
