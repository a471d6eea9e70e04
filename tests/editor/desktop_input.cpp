#include "desktop_input.h"

#include <vector>

namespace editortest {

namespace {

HWND keyTarget = nullptr;

// An absolute SendInput coordinate that lands on the given screen pixel.
LONG normalised(LONG pixel, int metric) {
    LONG extent = GetSystemMetrics(metric);
    return (pixel * 65536 + extent - 1) / extent;
}

INPUT mouseInput(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

INPUT moveInput(HWND window, int32_t x, int32_t y) {
    POINT point = {x, y};
    ClientToScreen(window, &point);
    INPUT input = mouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
    input.mi.dx = normalised(point.x, SM_CXSCREEN);
    input.mi.dy = normalised(point.y, SM_CYSCREEN);
    return input;
}

void send(INPUT* inputs, UINT count) {
    SendInput(count, inputs, sizeof(INPUT));
    pumpMessages();
}

// Starts xdotool. The handle Wine gives for a Unix process cannot be waited on, so callers wait
// for the effect instead (the key state), which also keeps one command from overtaking another.
// Nor are its handles closed: for a Unix program Wine leaves stack leftovers in them, and
// closing those closed one of this program's own handles (its standard output went silent).
bool startXdotool(const std::string& arguments) {
    std::string command = "Z:\\usr\\bin\\xdotool " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

// Without a window manager the X server gives key events to the window under the pointer,
// and the pointer follows the system's cursor: it must lie over the test window.
void putCursorOverTestWindow() {
    RECT area = {0, 0, 420, 420};
    if (keyTarget)
        GetWindowRect(keyTarget, &area);
    POINT cursor;
    GetCursorPos(&cursor);
    if (cursor.x >= area.left && cursor.x < area.right && cursor.y >= area.top && cursor.y < area.bottom)
        return;
    INPUT input = mouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
    input.mi.dx = normalised(area.right - 10, SM_CXSCREEN);
    input.mi.dy = normalised(area.bottom - 10, SM_CYSCREEN);
    send(&input, 1);
    pumpFor(100);
}

bool keyDown(int virtualKey) {
    return GetAsyncKeyState(virtualKey) < 0;
}

} // namespace

void setKeyTargetWindow(HWND window) {
    keyTarget = window;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool pumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        pumpMessages();
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void pumpFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        pumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    pumpMessages();
}

void mouseMoveTo(HWND window, int32_t x, int32_t y) {
    INPUT input = moveInput(window, x, y);
    send(&input, 1);
}

void mouseLeftDown() {
    INPUT input = mouseInput(MOUSEEVENTF_LEFTDOWN);
    send(&input, 1);
}

void mouseLeftUp() {
    INPUT input = mouseInput(MOUSEEVENTF_LEFTUP);
    send(&input, 1);
}

void mouseWheel(int32_t delta) {
    INPUT input = mouseInput(MOUSEEVENTF_WHEEL);
    input.mi.mouseData = DWORD(delta);
    send(&input, 1);
}

void mouseDoubleClickAt(HWND window, int32_t x, int32_t y) {
    INPUT inputs[5] = {moveInput(window, x, y), mouseInput(MOUSEEVENTF_LEFTDOWN),
                       mouseInput(MOUSEEVENTF_LEFTUP), mouseInput(MOUSEEVENTF_LEFTDOWN),
                       mouseInput(MOUSEEVENTF_LEFTUP)};
    send(inputs, 5);
}

HeldKey::HeldKey(const char* name, int virtualKey) : name_(name), virtualKey_(virtualKey) {
    putCursorOverTestWindow();
    if (startXdotool("keydown " + name_))
        held_ = pumpUntil([this] { return keyDown(virtualKey_); }, 10000);
}

HeldKey::~HeldKey() {
    putCursorOverTestWindow();
    startXdotool("keyup " + name_);
    pumpUntil([this] { return !keyDown(virtualKey_); }, 10000);
}

void tapKey(const char* name) {
    putCursorOverTestWindow();
    startXdotool(std::string("key ") + name);
}

void releaseAllModifiers() {
    const struct {
        const char* name;
        int virtualKey;
    } modifiers[] = {{"ctrl", VK_CONTROL}, {"alt", VK_MENU}, {"shift", VK_SHIFT}};
    for (const auto& modifier : modifiers) {
        if (!keyDown(modifier.virtualKey))
            continue;
        putCursorOverTestWindow();
        startXdotool(std::string("keyup ") + modifier.name);
        pumpUntil([&] { return !keyDown(modifier.virtualKey); }, 10000);
    }
}

void mouseLeftClickAtScreen(LONG x, LONG y) {
    INPUT inputs[3] = {mouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE), mouseInput(MOUSEEVENTF_LEFTDOWN),
                       mouseInput(MOUSEEVENTF_LEFTUP)};
    inputs[0].mi.dx = normalised(x, SM_CXSCREEN);
    inputs[0].mi.dy = normalised(y, SM_CYSCREEN);
    // No pumping here: this may run inside a menu's modal loop, which reads the input itself.
    SendInput(3, inputs, sizeof(INPUT));
}

void mouseRightClickAt(HWND window, int32_t x, int32_t y) {
    INPUT inputs[3] = {moveInput(window, x, y), mouseInput(MOUSEEVENTF_RIGHTDOWN),
                       mouseInput(MOUSEEVENTF_RIGHTUP)};
    // Not pumped: the click may open a context menu, whose modal loop the caller runs.
    SendInput(3, inputs, sizeof(INPUT));
}

} // namespace editortest
