// The plug-in library itself. Everything lives in the static libraries; the link pulls the
// one export, VSTPluginMain, out of them by name. Here the shell meets its editor: on Windows
// the attach hook installs the Win32 editor's table; the Linux .so has no editor yet, so it
// installs none (an X11 editor would attach itself from here the same way).
#include "shell/vst_abi.h"

#ifdef _WIN32
#include "editor/editor_entry.h"
#include "support/windows_prelude.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        attachLibrary(instance, &windowsEditorEntryPoints());
    else if (reason == DLL_PROCESS_DETACH)
        detachLibrary();
    return TRUE;
}
#endif
