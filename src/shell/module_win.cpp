// The Windows library: the attach/detach hook, the module handle, and the response graph's
// window class, registered while at least one instance lives.
#include "shell/module.h"

#include "editor/controls.h"
#include "editor/graph_window.h"
#include "shell/compressor_effect.h"

#include <windows.h>

HINSTANCE moduleHandle = nullptr;
UINT mswheelRollMessage = 0;

bool platformHasEditor() { return true; }

void registerInstanceClasses() {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = GraphWindowProc;
    windowClass.hInstance = moduleHandle;
    windowClass.lpszClassName = kGraphWindowClass;
    RegisterClassA(&windowClass);
    mswheelRollMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
}

void unregisterInstanceClasses() {
    UnregisterClassA(kGraphWindowClass, moduleHandle);
    deleteGraphFonts();
}

void destroyEditorWindow(CompressorEffect& effect) {
    if (void* window = effect.editorWindow) {
        DestroyWindow(static_cast<HWND>(window));
        effect.editorWindow = nullptr;
    }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleHandle = instance;
        registerControlClasses(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        unregisterControlClasses();
    }
    return TRUE;
}
