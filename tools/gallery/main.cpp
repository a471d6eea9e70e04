// tarnwell-gallery OUTPUT.png [--zoom N] [--plugin PLUGIN.dll]: shows every control of the
// editor in one window and writes a PNG of it (N times enlarged, pixel for pixel, to look at
// details): faders of both kinds with the drawn thumb (this program's own
// classes) and with skins (a copy of the plug-in in a folder beside its generated skin files),
// a vertical meter in level and in gain-reduction mode and a horizontal meter, after three
// seconds of moving levels. Run it under Wine with a display (cmake/wine-run.sh).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/control_classes.h"
#include "host/picture.h"
#include "editor/resource.h"
#include "support/windows_prelude.h"

namespace {

constexpr int32_t kWidth = 660;
constexpr int32_t kHeight = 400;
constexpr COLORREF kPanel = RGB(46, 48, 53);
constexpr COLORREF kCaption = RGB(196, 200, 208);
constexpr COLORREF kHeading = RGB(240, 242, 246);
constexpr COLORREF kDefaultLine = RGB(90, 150, 220);
constexpr COLORREF kTrack = RGB(20, 21, 24);

struct Caption {
    int32_t x, y, width;
    const char* text;
    bool heading;
};

const Caption kCaptions[] = {
    {20, 14, 200, "FADERS", true},
    {20, 290, 60, "drawn", false},
    {80, 290, 60, "skinned", false},
    {150, 98, 240, "drawn thumb", false},
    {150, 168, 240, "skinned thumb", false},
    {150, 206, 240, "HORIZONTAL METER", true},
    {150, 282, 240, "left / right", false},
    {430, 14, 200, "VERTICAL METERS", true},
    {430, 356, 60, "level", false},
    {500, 356, 100, "gain reduction", false},
};

HFONT captionFont = nullptr;
HFONT headingFont = nullptr;
HBRUSH panelBrush = nullptr;

void paintCaptions(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, panelBrush);
    SetBkMode(dc, TRANSPARENT);
    for (const Caption& caption : kCaptions) {
        SelectObject(dc, caption.heading ? headingFont : captionFont);
        SetTextColor(dc, caption.heading ? kHeading : kCaption);
        RECT box = {caption.x, caption.y, caption.x + caption.width, caption.y + 16};
        DrawTextA(dc, caption.text, -1, &box, DT_SINGLELINE | DT_NOPREFIX | (caption.heading ? DT_LEFT : DT_CENTER));
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK galleryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: paintCaptions(window); return 0;
    case WM_CTLCOLORDLG:
        SetTextColor(reinterpret_cast<HDC>(wParam), kDefaultLine);
        return LRESULT(panelBrush);
    case FADER_QUERYTRACKCOLOR: *reinterpret_cast<COLORREF*>(lParam) = kTrack; return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The skin: a brushed-metal cap with dark ends and an orange centre line, magenta corners.
COLORREF skinPixel(bool vertical, int32_t x, int32_t y, int32_t width, int32_t height) {
    int32_t along = vertical ? y : x, length = vertical ? height : width;
    int32_t across = vertical ? x : y, breadth = vertical ? width : height;
    bool alongEdge = along == 0 || along == length - 1, acrossEdge = across == 0 || across == breadth - 1;
    if (alongEdge && acrossEdge)
        return RGB(255, 0, 255);
    if (alongEdge || acrossEdge)
        return RGB(30, 30, 32);
    int32_t centre = length / 2;
    if (along == centre || along == centre - 1)
        return RGB(255, 150, 40);
    int32_t metal = 170 + 50 * (breadth - across) / breadth - 3 * std::abs(along - centre) + ((along * 7 + across * 3) % 5);
    if (along == 1 || along == length - 2)
        metal -= 50;
    metal = metal < 0 ? 0 : (metal > 255 ? 255 : metal);
    return RGB(metal, metal, metal + (metal < 250 ? 4 : 0));
}

bool writeSkin(const std::string& path, bool vertical, int32_t width, int32_t height) {
    Picture skin(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            COLORREF c = skinPixel(vertical, x, y, width, height);
            skin.at(x, y) = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        }
    return skin.saveBmp(path);
}

std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string programFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

// A copy of the plug-in beside the two skins; its module handle, or null.
HMODULE loadSkinnedPlugin(const std::string& plugin) {
    std::string folder = programFolder() + "\\skinned";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder + "\\Tarnwell.dll";
    if (!CopyFileA(windowsPath(plugin).c_str(), copy.c_str(), FALSE) ||
        !writeSkin(folder + "\\vantor_vslider.bmp", true, 18, 30) ||
        !writeSkin(folder + "\\vantor_hslider.bmp", false, 30, 18))
        return nullptr;
    return LoadLibraryA(copy.c_str());
}

HWND child(HWND parent, const char* className, HINSTANCE module, int32_t x, int32_t y, int32_t w, int32_t h) {
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr, module, nullptr);
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

struct Controls {
    HWND plainVertical, skinnedVertical, plainHorizontal, skinnedHorizontal;
    HWND levelMeter, reductionMeter, horizontalMeter;
};

// Levels in tenths of a dB: a programme that swells to +1.5 dB once and settles lower, so
// the picture shows the over zone, the holds above the bars and the maxima.
int32_t programmeLevel(int frame, double phase) {
    double t = frame / 30.0;
    double envelope = t < 1.2 ? -220 + 195 * std::sin(t / 1.2 * 1.5708) : -25 - 110 * (t - 1.2);
    return int32_t(envelope + 40 * std::sin(t * 7.0 + phase));
}

void feed(const Controls& c, int frame) {
    int32_t left = programmeLevel(frame, 0.0), right = programmeLevel(frame, 1.3) - 25;
    SendMessageA(c.levelMeter, METER_SETLEVELS, WPARAM(uint32_t(left)), LPARAM(uint32_t(right)));
    SendMessageA(c.horizontalMeter, METER_SETLEVELS, WPARAM(uint32_t(left - 40)), LPARAM(uint32_t(right - 60)));
    int32_t reduction = -int32_t(45 + 35 * std::sin(frame / 9.0)) - frame / 3;
    SendMessageA(c.reductionMeter, METER_SETLEVELS, WPARAM(uint32_t(reduction)), LPARAM(uint32_t(reduction + 12)));
    auto overlay = [](int32_t tenths) { return tenths < -900 ? 0 : (tenths + 900) * 789 / 900; };
    SendMessageA(c.plainVertical, FADER_SETLEVELS, 0, MAKELPARAM(overlay(left - 60), overlay(right - 60)));
}


struct Options {
    const char* output = nullptr;
    std::string plugin = TARNWELL_PLUGIN_PATH;
    int32_t zoom = 1;
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--zoom" && i + 1 < argc)
            options.zoom = std::atoi(argv[++i]);
        else if (argument == "--plugin" && i + 1 < argc)
            options.plugin = argv[++i];
        else if (!options.output && argument[0] != '-')
            options.output = argv[i];
        else
            return false;
    }
    return options.output && options.zoom >= 1 && options.zoom <= 8;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: tarnwell-gallery OUTPUT.png [--zoom N (1-8)] [--plugin PLUGIN.dll]\n");
        return 1;
    }
    HINSTANCE self = GetModuleHandleA(nullptr);
    registerControlClasses(self);
    HMODULE skinned = loadSkinnedPlugin(options.plugin);
    if (!skinned) {
        std::fprintf(stderr, "tarnwell-gallery: cannot load a skinned copy of %s\n", options.plugin.c_str());
        return 2;
    }

    captionFont = CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    headingFont = CreateFontA(13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    panelBrush = CreateSolidBrush(kPanel);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = galleryProc;
    windowClass.hInstance = self;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "TarnwellGallery";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "TarnwellGallery", "Tarnwell controls",
                                  WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                  self, nullptr);

    Controls c;
    c.plainVertical = child(window, kVerticalFaderClass, self, 34, 40, 32, 246);
    c.skinnedVertical = child(window, kVerticalFaderClass, skinned, 94, 40, 32, 246);
    c.plainHorizontal = child(window, kHorizontalFaderClass, self, 150, 64, 240, 30);
    c.skinnedHorizontal = child(window, kHorizontalFaderClass, skinned, 150, 134, 240, 30);
    c.horizontalMeter = child(window, kHorizontalMeterClass, self, 150, 236, 240, 40);
    c.levelMeter = child(window, kVerticalMeterClass, self, 440, 40, 44, 310);
    c.reductionMeter = child(window, kVerticalMeterClass, self, 520, 40, 44, 310);
    SendMessageA(c.reductionMeter, METER_SETMODE, 0, 1);
    SendMessageA(c.plainVertical, FADER_SETPOS, 0, 789);
    SendMessageA(c.skinnedVertical, FADER_SETPOS, 0, 640);
    SendMessageA(c.plainHorizontal, FADER_SETDEFAULT, 0, 500);
    SendMessageA(c.plainHorizontal, FADER_SETPOS, 0, 320);
    SendMessageA(c.skinnedHorizontal, FADER_SETDEFAULT, 0, 250);
    SendMessageA(c.skinnedHorizontal, FADER_SETPOS, 0, 700);

    for (int frame = 0; frame < 90; ++frame) {
        feed(c, frame);
        pump();
        Sleep(33);
    }
    UpdateWindow(window);
    pump();
    bool written = captureWindow(window).savePng(options.output, options.zoom);
    if (!written)
        std::fprintf(stderr, "tarnwell-gallery: cannot write %s\n", options.output);
    // The program's exit takes the window: destroying it would wait for a window manager.
    return written ? 0 : 2;
}
