// The editor tests' host: loads the built Tarnwell.dll as a host does, records every call the
// plug-in makes back to the host, and opens the editor in a test window with effEditOpen. The
// tests then see only what a host and a user see: the recorded calls, the state block, the
// parameters, and the editor's controls, their texts, positions and pixels.
#pragma once

#include "editor_test_support.h"
#include "host/plugin_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace editortest {

// One call of the plug-in to the host; payload holds the two integers of a parameter-list change.
struct HostCall {
    int32_t opcode;
    int32_t index;
    float opt;
    int32_t payload[2];
};

// Everything the plug-in has called back since the last clear (from any thread).
std::vector<HostCall> recordedHostCalls();
void clearHostCalls();

// Fields of the state block that the editor changes besides the bands.
struct SavedState {
    int32_t bandCount = 0;
    int32_t showGrid = 0;
    int32_t showTabs = 0;
    double outputGain = 0;
    int32_t solo = 0;
};

class EditorHost {
public:
    EditorHost();
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    bool loaded() const { return effect != nullptr; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0);

    // effEditOpen in the test window; false when the plug-in opened nothing.
    bool openEditor();
    void closeEditor();
    // The editor dialog in the test window and the band panel in it (null when missing).
    HWND editor() const;
    HWND panel() const;
    HWND host() const { return parent_.window(); }

    SavedState state();
    std::vector<uint8_t> stateBlock();
    void loadState(const std::vector<uint8_t>& block);
    float parameter(int32_t index) { return effect->getParameter(effect, index); }
    std::string display(int32_t index);

    PluginLibrary library;
    AEffect* effect = nullptr;

private:
    TestParent parent_;
};

// A control's text.
std::string textOf(HWND dialog, int id);
// Types into an edit box as a user does, after selecting what it holds (SendInput key events).
void typeInto(HWND dialog, int id, const char* text);
// A whole left click at the centre of a control, or at a point of its client area.
void clickControl(HWND dialog, int id);
void clickAt(HWND window, int32_t x, int32_t y);
// Pumps messages until the control's text is the given one; false after the timeout.
bool waitForText(HWND dialog, int id, const std::string& text, DWORD timeoutMs = 5000);

// Client rectangle of a control in its dialog's client coordinates.
RECT rectInDialog(HWND dialog, int id);

// The plug-in's calls with this opcode (and index, unless any index).
constexpr int32_t kAnyIndex = INT32_MIN;
std::vector<HostCall> callsOf(const std::vector<HostCall>& calls, int32_t opcode, int32_t index = kAnyIndex);

// Independent forms of the level fader scale and the ratio slider, for expected positions.
double decibelsToFaderPosition(double db);
double ratioToSliderPosition(double ratio);

} // namespace editortest
