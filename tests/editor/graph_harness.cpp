#include "graph_harness.h"

#include "desktop_input.h"

#include "editor/editor_entry.h"
#include "editor/graph_window.h"
#include "engine/band_control.h"

#include <commctrl.h>

#include <algorithm>

namespace graphtest {

std::vector<HostCall> hostCalls;

namespace {

intptr_t VST_CALL recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float value) {
    hostCalls.push_back({opcode, index, value});
    return 0;
}

const char* const kParentClass = "TarnwellGraphTestParent";

HINSTANCE exeModule() {
    return GetModuleHandleA(nullptr);
}

} // namespace

void attachOnce() {
    static bool attached = false;
    if (attached)
        return;
    attached = true;
    InitCommonControls();
    // What the plug-in's DllMain does: the module handle the editor loads its menu from, and
    // the editor the instances open.
    attachLibrary(exeModule(), &windowsEditorEntryPoints());
    WNDCLASSA parentClass = {};
    parentClass.lpfnWndProc = DefWindowProcA;
    parentClass.hInstance = exeModule();
    parentClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    parentClass.hbrBackground = HBRUSH(GetStockObject(GRAY_BRUSH));
    parentClass.lpszClassName = kParentClass;
    RegisterClassA(&parentClass);
}

LRESULT CALLBACK GraphWindowTest::parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        auto* test = reinterpret_cast<GraphWindowTest*>(GetPropA(window, "test"));
        int id = LOWORD(wParam);
        HWND control = GetDlgItem(window, id);
        bool checkBox = control && (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        if (test)
            test->commands.push_back({id, checkBox ? int(SendMessageA(control, BM_GETCHECK, 0, 0)) : -1});
        return 0;
    }
    if (message == MSG_REFRESH_BAND) {
        if (auto* test = reinterpret_cast<GraphWindowTest*>(GetPropA(window, "test")))
            ++test->bandPanelRefreshes;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// One parent window for the whole program: hiding or destroying a top-level window costs Wine
// seconds on a display without a window manager.
HWND GraphWindowTest::sharedParent() {
    static HWND window = nullptr;
    if (window)
        return window;
    window = CreateWindowExA(0, kParentClass, "graph test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, kLeft,
                             kTop, kWidth, kHeight + 80, nullptr, nullptr, exeModule(), nullptr);
    if (!window)
        return nullptr;
    SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(parentProc));
    // The main window's controls the graph's menu works through, below the graph.
    const struct {
        int id;
        const char* text;
        DWORD style;
    } controls[] = {{IDC_ADD_BAND, "Add", BS_PUSHBUTTON},
                    {IDC_DELETE_BAND, "Delete", BS_PUSHBUTTON},
                    {IDC_SOLO_BAND, "Solo", BS_AUTOCHECKBOX},
                    {IDC_SHOW_TABS, "Tabs", BS_AUTOCHECKBOX},
                    {IDC_SHOW_GRID, "Grid", BS_AUTOCHECKBOX}};
    int x = 0;
    for (const auto& c : controls) {
        CreateWindowExA(0, "BUTTON", c.text, WS_CHILD | WS_VISIBLE | c.style, x, kHeight + 5, 80, 30, window,
                        HMENU(INT_PTR(c.id)), exeModule(), nullptr);
        x += 90;
    }
    CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE, 0, kHeight + 40, kWidth, 30, window,
                    HMENU(INT_PTR(IDC_BAND_TABS)), exeModule(), nullptr);
    return window;
}

void GraphWindowTest::SetUp() {
    attachOnce();
    hostCalls.clear();
    effect = VSTPluginMain(recordingHost);
    ASSERT_NE(effect, nullptr);
    fx = CompressorEffect::fromEffect(effect);
    openGraph();
    ASSERT_NE(graph, nullptr);
    editortest::setKeyTargetWindow(GetAncestor(graph, GA_ROOT));
    SetForegroundWindow(GetAncestor(graph, GA_ROOT));
    SetFocus(graph);
    pump();
}

void GraphWindowTest::openGraph() {
    parent = sharedParent();
    ASSERT_NE(parent, nullptr);
    SetPropA(parent, "test", this);
    SetWindowLongPtrA(parent, GWLP_USERDATA, LONG_PTR(fx));
    for (int id : {IDC_SOLO_BAND, IDC_SHOW_TABS, IDC_SHOW_GRID})
        CheckDlgButton(parent, id, BST_UNCHECKED);
    editorStateOf(*fx)->bandPanel = parent;
    tabs = GetDlgItem(parent, IDC_BAND_TABS);
    SendMessageA(tabs, TCM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < 4; ++i) {
        char label[8] = {char('1' + i), 0};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = label;
        SendMessageA(tabs, TCM_INSERTITEMA, WPARAM(i), LPARAM(&item));
    }
    SendMessageA(tabs, TCM_SETCURSEL, 0, 0);
    graph = CreateWindowExA(0, kGraphWindowClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, kWidth,
                            kHeight, parent, HMENU(IDC_GRAPH), exeModule(), nullptr);
}

void GraphWindowTest::TearDown() {
    heldKeys_.clear();
    if (GetCapture())
        ReleaseCapture();
    closeGraph();
    pump(10);
    if (effect)
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void GraphWindowTest::closeGraph() {
    if (graph)
        DestroyWindow(graph);
    if (fx)
        editorStateOf(*fx)->bandPanel = nullptr;
    if (parent) {
        SetWindowLongPtrA(parent, GWLP_USERDATA, 0);
        RemovePropA(parent, "test");
    }
}

void GraphWindowTest::pump(int ms) {
    editortest::pumpFor(DWORD(ms));
}

Picture GraphWindowTest::capture() {
    InvalidateRect(graph, nullptr, FALSE);
    UpdateWindow(graph);
    return captureWindow(graph);
}

Picture GraphWindowTest::captureWindow(HWND source) {
    return ::captureWindow(source);
}

void GraphWindowTest::moveTo(int32_t x, int32_t y) {
    POINT screen = {x, y};
    ClientToScreen(graph, &screen);
    editortest::mouseMoveTo(graph, x, y);
    pump(30);
    POINT at = {0, 0};
    GetCursorPos(&at);
    EXPECT_EQ(at.x, screen.x);
    EXPECT_EQ(at.y, screen.y);
}

void GraphWindowTest::leftDown() {
    editortest::mouseLeftDown();
    pump(30);
}

void GraphWindowTest::leftUp() {
    editortest::mouseLeftUp();
    pump(30);
}

void GraphWindowTest::rightClick(int32_t x, int32_t y) {
    moveTo(x, y);
    editortest::mouseRightClickAt(graph, x, y);
}

void GraphWindowTest::wheel(int32_t x, int32_t y, int32_t delta) {
    moveTo(x, y);
    editortest::mouseWheel(delta);
    pump(30);
}

namespace {

// The open menu as the hook sees it: the popup handed to WM_INITMENUPOPUP, read at once, and
// the item to click once the menu loop goes idle.
struct MenuVisit {
    MenuSeen seen;
    HMENU popup = nullptr;
    UINT item = 0;
    bool clicked = false;
    bool closed = false;
} menuVisit;

LRESULT CALLBACK menuHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION) {
        if (call->message == WM_INITMENUPOPUP && !menuVisit.popup) {
            menuVisit.popup = HMENU(call->wParam);
            menuVisit.seen.opened = true;
            for (int i = 0, n = GetMenuItemCount(menuVisit.popup); i < n; ++i) {
                UINT id = GetMenuItemID(menuVisit.popup, i);
                if (id != UINT(-1) && id != 0)
                    menuVisit.seen.states[id] = GetMenuState(menuVisit.popup, UINT(i), MF_BYPOSITION);
            }
        } else if (call->message == WM_ENTERIDLE && menuVisit.popup && !menuVisit.clicked) {
            menuVisit.clicked = true;
            RECT box = {0, 0, 0, 0};
            for (int i = 0, n = GetMenuItemCount(menuVisit.popup); i < n; ++i)
                if (menuVisit.item && GetMenuItemID(menuVisit.popup, i) == menuVisit.item)
                    GetMenuItemRect(nullptr, menuVisit.popup, UINT(i), &box);
            if (box.right > box.left)
                editortest::mouseLeftClickAtScreen((box.left + box.right) / 2, (box.top + box.bottom) / 2);
            else
                editortest::mouseLeftClickAtScreen(5, 5); // outside the menu: nothing chosen
        } else if (call->message == WM_EXITMENULOOP) {
            menuVisit.closed = true;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

MenuSeen GraphWindowTest::useMenu(int32_t x, int32_t y, UINT item) {
    menuVisit = MenuVisit();
    menuVisit.item = item;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, menuHook, nullptr, GetCurrentThreadId());
    rightClick(x, y);
    for (int waited = 0; waited < 3000 && !menuVisit.closed; waited += 20)
        pump(20);
    pump(40);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(menuVisit.closed);
    return menuVisit.seen;
}

void GraphWindowTest::press(const char* key) {
    const std::string name = key;
    const int virtualKey = name == "shift" ? VK_SHIFT : (name == "ctrl" ? VK_CONTROL : VK_MENU);
    heldKeys_.emplace_back(name, std::make_unique<editortest::HeldKey>(key, virtualKey));
    ASSERT_TRUE(heldKeys_.back().second->held()) << key;
}

void GraphWindowTest::release(const char* key) {
    for (auto held = heldKeys_.begin(); held != heldKeys_.end(); ++held)
        if (held->first == key) {
            heldKeys_.erase(held); // the key goes up as its holder goes
            return;
        }
}

void GraphWindowTest::set(int32_t band, int32_t kind, double value) {
    ASSERT_TRUE(fx->changeSetting(band, kind, value));
}

double GraphWindowTest::get(int32_t band, int32_t kind) {
    LockHolder hold(fx->lock);
    const Band* b = fx->band(band);
    return b ? bandSettingValue(*b, kind) : NAN;
}

void GraphWindowTest::setMeters(int32_t band, double input, double detector, double output,
                                double gainMeter) {
    LockHolder hold(fx->lock);
    BandState& st = fx->band(band)->state;
    st.inputPeak = input;
    st.detectorPeak = detector;
    st.outputPeak = output;
    st.gainMeter = gainMeter;
}

} // namespace graphtest
