#include "editor/control_classes.h"

#include <cstdio>
#include <cstring>

#include "editor/fader.h"
#include "editor/meter.h"

namespace {

int32_t controlClassUsers = 0;
HBITMAP verticalSkin = nullptr;
HBITMAP horizontalSkin = nullptr;
UINT wheelRollMessage = 0;

struct ControlClass {
    const char* name;
    WNDPROC procedure;
    UINT style;
    int windowBytes;
};

const ControlClass kControlClasses[] = {
    {kVerticalFaderClass, VerticalFaderProc, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, FADER_WINDOW_BYTES},
    {kHorizontalFaderClass, HorizontalFaderProc, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, FADER_WINDOW_BYTES},
    {kHorizontalMeterClass, HorizontalMeterProc, CS_VREDRAW | CS_HREDRAW, 0},
    {kVerticalMeterClass, VerticalMeterProc, CS_VREDRAW | CS_HREDRAW, 0},
    {kKnobClass, VerticalMeterProc, CS_VREDRAW | CS_HREDRAW, 0},
};

// The folder of the module's file, without the last backslash; empty when there is none.
void moduleFolder(HINSTANCE module, char (&folder)[1025]) {
    DWORD length = GetModuleFileNameA(module, folder, 1024);
    folder[length < 1024 ? length : 1024] = '\0';
    char* lastBackslash = std::strrchr(folder, '\\');
    if (lastBackslash)
        *lastBackslash = '\0';
    else
        folder[0] = '\0';
}

HBITMAP loadSkin(const char* folder, const char* fileName) {
    char path[1100];
    std::snprintf(path, sizeof(path), "%s\\%s", folder, fileName);
    return static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void deleteSkin(HBITMAP& skin) {
    if (skin)
        DeleteObject(skin);
    skin = nullptr;
}

} // namespace

void RegisterControlClasses(HINSTANCE module) {
    if (controlClassUsers++ != 0)
        return;
    char folder[1025];
    moduleFolder(module, folder);
    if (!verticalSkin)
        verticalSkin = loadSkin(folder, "vantor_vslider.bmp");
    if (!horizontalSkin)
        horizontalSkin = loadSkin(folder, "vantor_hslider.bmp");
    wheelRollMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");

    for (const ControlClass& control : kControlClasses) {
        WNDCLASSA windowClass = {};
        windowClass.style = control.style;
        windowClass.lpfnWndProc = control.procedure;
        windowClass.cbWndExtra = control.windowBytes;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = control.name;
        RegisterClassA(&windowClass);
    }
}

void UnregisterControlClasses(HINSTANCE module) {
    if (controlClassUsers <= 0 || --controlClassUsers != 0)
        return;
    for (const ControlClass& control : kControlClasses)
        UnregisterClassA(control.name, module);
    deleteSkin(verticalSkin);
    deleteSkin(horizontalSkin);
    ReleaseFaderSurfaces();
}

UINT WheelRollMessage() {
    return wheelRollMessage;
}

HBITMAP VerticalFaderSkin() {
    return verticalSkin;
}

HBITMAP HorizontalFaderSkin() {
    return horizontalSkin;
}
