#include "editor_test_support.h"

#include <cstring>

#include "editor/resource.h"
#include "host/picture.h"

namespace editortest {

namespace {

constexpr const char* kParentClass = "TarnwellTestParent";
HWND sharedParent = nullptr;

void registerParentClass(WNDPROC procedure) {
    WNDCLASSA existing;
    HINSTANCE module = GetModuleHandleA(nullptr);
    if (GetClassInfoA(module, kParentClass, &existing))
        return;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kParentClass;
    RegisterClassA(&windowClass);
}

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
bool startXdotool(const std::string& arguments) {
    std::string command = "Z:\\usr\\bin\\xdotool " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Without a window manager the X server gives key events to the window under the pointer,
// and the pointer follows the system's cursor: it must lie over the test window.
void putCursorOverTestWindow() {
    RECT area = {0, 0, 420, 420};
    if (sharedParent)
        GetWindowRect(sharedParent, &area);
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

// One window serves every test of the program: destroying a top-level window under Wine
// without a window manager waits two seconds for the manager's answer, so it is never
// destroyed (the process's exit takes it). Each TestParent attaches to it and leaves it empty.
TestParent::TestParent() {
    if (!sharedParent) {
        registerParentClass(procedure);
        sharedParent = CreateWindowExA(WS_EX_TOPMOST, kParentClass, "controls", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                 0, 0, 420, 420, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    window_ = sharedParent;
    SetWindowLongPtrA(window_, GWLP_USERDATA, LONG_PTR(this));
    SetForegroundWindow(window_);
    pumpMessages();
}

TestParent::~TestParent() {
    while (HWND child = GetWindow(window_, GW_CHILD))
        DestroyWindow(child);
    pumpMessages();
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
}

HWND TestParent::create(const char* className, int32_t x, int32_t y, int32_t width, int32_t height, int32_t id) {
    HWND control = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, x, y, width, height, window_,
                                   reinterpret_cast<HMENU>(intptr_t(id)), GetModuleHandleA(nullptr), nullptr);
    pumpMessages();
    return control;
}

std::vector<Notification> TestParent::scrolls(WPARAM code) const {
    std::vector<Notification> found;
    for (const Notification& n : notifications)
        if ((n.message == WM_VSCROLL || n.message == WM_HSCROLL) && n.wParam == code)
            found.push_back(n);
    return found;
}

LRESULT CALLBACK TestParent::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* parent = reinterpret_cast<TestParent*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (parent) {
        LRESULT result = parent->handle(message, wParam, lParam);
        if (result != -1)
            return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// -1: not handled here.
LRESULT TestParent::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_VSCROLL:
    case WM_HSCROLL: {
        int32_t position = int32_t(SendMessageA(reinterpret_cast<HWND>(lParam), FADER_GETPOS, 0, 0));
        notifications.push_back({message, wParam, lParam, position});
        return 0;
    }
    case WM_COMMAND: notifications.push_back({message, wParam, lParam, 0}); return 0;
    case WM_LBUTTONDOWN: notifications.push_back({message, wParam, lParam, 0}); return buttonDownResult;
    case WM_CTLCOLORDLG:
        ++colourQueries;
        if (!backgroundBrush)
            return -1;
        SetTextColor(reinterpret_cast<HDC>(wParam), textColour);
        return LRESULT(backgroundBrush);
    case FADER_QUERYTRACKCOLOR:
        ++trackColourQueries;
        if (overrideTrackColour)
            *reinterpret_cast<COLORREF*>(lParam) = trackColour;
        return 0;
    }
    return -1;
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

COLORREF WindowPixels::at(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    uint32_t word = words[size_t(y) * size_t(width) + size_t(x)];
    return RGB((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF);
}

WindowPixels readWindow(HWND window) {
    UpdateWindow(window);
    pumpMessages();
    Picture picture = captureWindow(window);
    WindowPixels pixels;
    pixels.width = picture.width;
    pixels.height = picture.height;
    pixels.words = std::move(picture.pixels);
    return pixels;
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
    INPUT inputs[5] = {moveInput(window, x, y), mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP),
                       mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP)};
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

std::string programFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

void removeSkinFiles() {
    std::string folder = programFolder();
    DeleteFileA((folder + "\\vantor_vslider.bmp").c_str());
    DeleteFileA((folder + "\\vantor_hslider.bmp").c_str());
}

bool writeBitmapFile(const std::string& path, int32_t width, int32_t height,
                     const std::function<COLORREF(int32_t, int32_t)>& pixel) {
    Picture picture(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            picture.at(x, y) = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        }
    return picture.saveBmp(path);
}

} // namespace editortest
