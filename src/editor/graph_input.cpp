#include "editor/graph_input.h"

#include "editor/core/graph_gestures.h"
#include "editor/core/graph_menu.h"
#include "editor/editor_state.h"
#include "editor/resource.h"
#include "shell/compressor_effect.h"
#include "shell/module.h"

#include <commctrl.h>

namespace {

// The graph window as the core's port: its parent is the main window, whose tabs, buttons and
// check boxes the graph's commands reach.
class WindowPort final : public GraphPort {
public:
    WindowPort(HWND window, CompressorEffect& fx) : window_(window), fx_(fx) {}

    GraphArea area() override {
        RECT client = {0, 0, 0, 0};
        GetClientRect(window_, &client);
        const EditorState* state = findEditorState(fx_);
        return {client.right - client.left, client.bottom - client.top, state ? state->scale : 1.0};
    }
    void capturePointer() override { SetCapture(window_); }
    void releasePointer() override { ReleaseCapture(); }
    bool holdsPointer() override { return GetCapture() == window_; }
    void repaintGraph() override { InvalidateRect(window_, nullptr, FALSE); }
    void showCurrentBand(int32_t index) override {
        if (HWND tabs = GetDlgItem(GetParent(window_), IDC_BAND_TABS))
            SendMessageA(tabs, TCM_SETCURSEL, WPARAM(index), 0);
    }
    void refreshBandPanel() override { ::refreshBandPanel(fx_); }
    void runMainCommand(GraphMainCommand command, bool on) override {
        switch (command) {
        case GraphMainCommand::AddBand:
            clickMainButton(IDC_ADD_BAND);
            return;
        case GraphMainCommand::DeleteBand:
            clickMainButton(IDC_DELETE_BAND);
            return;
        case GraphMainCommand::Solo:
            switchMainCheckBox(IDC_SOLO_BAND, on);
            return;
        case GraphMainCommand::ShowTabs:
            switchMainCheckBox(IDC_SHOW_TABS, on);
            return;
        case GraphMainCommand::ShowGrid:
            switchMainCheckBox(IDC_SHOW_GRID, on);
            return;
        }
    }

private:
    // Ticks a check box of the main window and sends the command a click on it sends, so the
    // main window's own handler makes the change.
    void switchMainCheckBox(int id, bool on) {
        HWND main = GetParent(window_);
        HWND box = GetDlgItem(main, id);
        if (box)
            SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(box));
    }
    void clickMainButton(int id) {
        HWND main = GetParent(window_);
        SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(main, id)));
    }

    HWND window_;
    CompressorEffect& fx_;
};

GraphModifiers heldKeys() {
    GraphModifiers keys;
    keys.control = GetKeyState(VK_CONTROL) < 0;
    keys.shift = GetKeyState(VK_SHIFT) < 0;
    keys.alt = GetKeyState(VK_MENU) < 0;
    return keys;
}

// The graph's handlers run only where the window procedure found the instance's state.
GraphGestures& gesturesOf(CompressorEffect& fx) { return editorStateOf(fx)->gestures; }

void setMenuStates(HMENU popup, CompressorEffect& fx, bool onHandle) {
    for (const GraphMenuItem& item : kGraphMenuItems) {
        if (item.command == 0)
            continue;
        const GraphMenuItemState state = graphMenuItemState(fx, item.command, onHandle);
        EnableMenuItem(popup, item.command, MF_BYCOMMAND | (state.enabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(popup, item.command, MF_BYCOMMAND | (state.checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

} // namespace

void onSetCursor(HWND window, CompressorEffect& fx) {
    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    ScreenToClient(window, &pointer);
    WindowPort port(window, fx);
    HCURSOR cursor = nullptr;
    switch (gesturesOf(fx).cursorAt(fx, port, pointer.x, pointer.y)) {
    case GraphCursor::Hand:
        cursor = LoadCursorA(nullptr, IDC_HAND);
        break;
    case GraphCursor::ResizeHorizontal:
        cursor = LoadCursorA(nullptr, IDC_SIZEWE);
        break;
    case GraphCursor::Arrow:
        break;
    }
    if (!cursor)
        cursor = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(cursor);
}

void onLeftButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y) {
    WindowPort port(window, fx);
    gesturesOf(fx).press(fx, port, x, y);
}

void onMouseMove(HWND window, CompressorEffect& fx, int32_t x, int32_t y) {
    WindowPort port(window, fx);
    gesturesOf(fx).move(fx, port, x, y, heldKeys());
}

void onLeftButtonUp(HWND window, CompressorEffect& fx) {
    WindowPort port(window, fx);
    gesturesOf(fx).release(fx, port);
}

void onMouseWheel(HWND window, CompressorEffect& fx, int32_t delta, POINT screen) {
    ScreenToClient(window, &screen);
    WindowPort port(window, fx);
    gesturesOf(fx).wheel(fx, port, screen.x, screen.y, delta, heldKeys());
}

void onRightButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y) {
    WindowPort port(window, fx);
    const bool onHandle = gesturesOf(fx).rightPress(fx, port, x, y);
    HMENU menu = LoadMenuA(static_cast<HINSTANCE>(libraryModule()), MAKEINTRESOURCEA(IDR_GRAPH_MENU));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    UINT command = 0;
    if (popup) {
        setMenuStates(popup, fx, onHandle);
        POINT screen = {x, y};
        ClientToScreen(window, &screen);
        command = UINT(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window, nullptr));
    }
    DestroyMenu(menu);
    runGraphMenuCommand(fx, port, command);
}
