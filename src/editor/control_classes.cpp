#include "editor/control_classes.h"

#include "editor/fader.h"
#include "editor/meter.h"
#include "editor/preset_control_window.h"

namespace {

int32_t controlClassUsers = 0;

struct ControlClass {
    const char* name;
    WNDPROC procedure;
    UINT style;
    int windowBytes;
};

const ControlClass kControlClasses[] = {
    {kVerticalFaderClass, verticalFaderProc, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, FADER_WINDOW_BYTES},
    {kHorizontalFaderClass, horizontalFaderProc, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, FADER_WINDOW_BYTES},
    {kHorizontalMeterClass, horizontalMeterProc, CS_VREDRAW | CS_HREDRAW, 0},
    {kVerticalMeterClass, verticalMeterProc, CS_VREDRAW | CS_HREDRAW, 0},
    {kKnobClass, verticalMeterProc, CS_VREDRAW | CS_HREDRAW, 0},
};

} // namespace

void registerControlClasses(HINSTANCE module) {
    if (controlClassUsers++ != 0)
        return;
    loadControlResources(module);

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
    // A Unicode class, so that preset names in any script reach its window text whole.
    WNDCLASSW presetClass = {};
    presetClass.style = CS_DBLCLKS;
    presetClass.lpfnWndProc = presetControlProc;
    presetClass.hInstance = module;
    presetClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    presetClass.lpszClassName = kPresetControlClassW;
    RegisterClassW(&presetClass);
}

void unregisterControlClasses(HINSTANCE module) {
    if (controlClassUsers <= 0 || --controlClassUsers != 0)
        return;
    for (const ControlClass& control : kControlClasses)
        UnregisterClassA(control.name, module);
    UnregisterClassW(kPresetControlClassW, module);
    releaseControlResources();
    releaseFaderSurfaces();
}
