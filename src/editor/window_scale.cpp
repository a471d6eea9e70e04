#include "editor/window_scale.h"

#include "editor/control_classes.h"
#include "editor/preset_control_window.h"
#include "editor/resource.h"
#include "editor/core/ui_scale.h"

#include <cstring>

namespace {

using DpiForWindow = UINT(WINAPI*)(HWND);

// Looked up rather than linked, so the plug-in still loads on systems without it.
DpiForWindow dpiForWindowFunction() {
    static const DpiForWindow function = [] {
        HMODULE user = GetModuleHandleA("user32.dll");
        FARPROC found = user ? GetProcAddress(user, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(found));
    }();
    return function;
}

int32_t screenDpi() {
    HDC screen = GetDC(nullptr);
    const int32_t dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi;
}

bool classIs(HWND window, const char* name) {
    char found[64];
    return GetClassNameA(window, found, sizeof found) > 0 && std::strcmp(found, name) == 0;
}

BOOL CALLBACK sendScale(HWND control, LPARAM dpi) {
    if (classIs(control, kVerticalFaderClass) || classIs(control, kHorizontalFaderClass))
        SendMessageA(control, FADER_SETSCALE, WPARAM(dpi), 0);
    else if (classIs(control, kVerticalMeterClass) || classIs(control, kHorizontalMeterClass) ||
             classIs(control, kKnobClass))
        SendMessageA(control, METER_SETSCALE, WPARAM(dpi), 0);
    else if (classIs(control, kPresetControlClass))
        SendMessageA(control, PRESET_SETSCALE, WPARAM(dpi), 0);
    return TRUE;
}

} // namespace

double WindowScale(HWND window) {
    const DpiForWindow dpiForWindow = dpiForWindowFunction();
    const UINT dpi = dpiForWindow && window ? dpiForWindow(window) : 0;
    return scaleOfDpi(dpi != 0 ? int32_t(dpi) : screenDpi());
}

void sendScaleToControls(HWND window, double scale) {
    EnumChildWindows(window, sendScale, LPARAM(dpiOfScale(scale)));
}
