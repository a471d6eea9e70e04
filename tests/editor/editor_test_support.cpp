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

} // namespace

// One window serves every test of the program: destroying a top-level window under Wine
// without a window manager waits two seconds for the manager's answer, so it is never
// destroyed (the process's exit takes it). Each TestParent attaches to it and leaves it empty.
TestParent::TestParent() {
    if (!sharedParent) {
        registerParentClass(procedure);
        sharedParent =
            CreateWindowExA(WS_EX_TOPMOST, kParentClass, "controls", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                            0, 0, 420, 420, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    window_ = sharedParent;
    setKeyTargetWindow(window_);
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

HWND TestParent::create(const char* className, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t id) {
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
    case WM_COMMAND:
        notifications.push_back({message, wParam, lParam, 0});
        return 0;
    case WM_LBUTTONDOWN:
        notifications.push_back({message, wParam, lParam, 0});
        return buttonDownResult;
    case WM_CTLCOLORDLG:
        ++colourQueries;
        lastColourQueryWindow = lParam;
        if (answerNoBrush)
            return 0;
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

int32_t topWhiteRunHeight(const WindowPixels& pixels) {
    auto rowHasWhite = [&](int32_t y) {
        for (int32_t x = 0; x < pixels.width; ++x)
            if (pixels.at(x, y) == RGB(255, 255, 255))
                return true;
        return false;
    };
    int32_t y = 0;
    while (y < pixels.height && !rowHasWhite(y))
        ++y;
    int32_t rows = 0;
    for (; y < pixels.height && rowHasWhite(y); ++y)
        ++rows;
    return rows;
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
    DeleteFileA((folder + "\\vantor_vslider@2x.bmp").c_str());
    DeleteFileA((folder + "\\vantor_hslider@2x.bmp").c_str());
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
