// The Windows library entry: the attach/detach hook keeps the module handle and has the
// editor register its control classes while the library is attached.
#include "shell/module.h"

#include "support/windows_prelude.h"

namespace {
HINSTANCE moduleHandle = nullptr;
} // namespace

void* libraryModule() {
    return moduleHandle;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleHandle = instance;
        registerControlClasses(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        unregisterControlClasses(instance);
    }
    return TRUE;
}
