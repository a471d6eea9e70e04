#include "editor_test_support.h"

#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "editor/resource.h"

namespace editortest {

namespace {

constexpr const char* kParentClass = "TarnwellTestParent";

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

bool runXdotool(const std::string& arguments) {
    std::string command = "Z:\\usr\\bin\\xdotool " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 20000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool keyDown(int virtualKey) {
    return GetAsyncKeyState(virtualKey) < 0;
}

} // namespace

// One window serves every test of the program: destroying a top-level window under Wine
// without a window manager waits two seconds for the manager's answer, so it is never
// destroyed (the process's exit takes it). Each TestParent attaches to it and leaves it empty.
TestParent::TestParent() {
    static HWND shared = nullptr;
    if (!shared) {
        registerParentClass(procedure);
        shared = CreateWindowExA(WS_EX_TOPMOST, kParentClass, "controls", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                 0, 0, 420, 420, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    window_ = shared;
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
    WindowPixels pixels;
    RECT client;
    GetClientRect(window, &client);
    pixels.width = client.right;
    pixels.height = client.bottom;
    if (pixels.width <= 0 || pixels.height <= 0)
        return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memoryDc, section);
    BitBlt(memoryDc, 0, 0, pixels.width, pixels.height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* words = static_cast<const uint32_t*>(bits);
    pixels.words.assign(words, words + size_t(pixels.width) * size_t(pixels.height));
    for (uint32_t& word : pixels.words)
        word &= 0xFFFFFF;
    SelectObject(memoryDc, previous);
    DeleteObject(section);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
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
    if (runXdotool("keydown " + name_))
        held_ = pumpUntil([this] { return keyDown(virtualKey_); }, 10000);
}

HeldKey::~HeldKey() {
    runXdotool("keyup " + name_);
    pumpUntil([this] { return !keyDown(virtualKey_); }, 10000);
}

void releaseAllModifiers() {
    runXdotool("keyup ctrl alt shift");
    pumpUntil([] { return !keyDown(VK_CONTROL) && !keyDown(VK_MENU) && !keyDown(VK_SHIFT); }, 10000);
}

std::string programFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

bool writeBitmapFile(const std::string& path, int32_t width, int32_t height,
                     const std::function<COLORREF(int32_t, int32_t)>& pixel) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            uint8_t* at = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            at[0] = GetRValue(c);
            at[1] = GetGValue(c);
            at[2] = GetBValue(c);
        }
    return stbi_write_bmp(path.c_str(), width, height, 3, rgb.data()) != 0;
}

} // namespace editortest
