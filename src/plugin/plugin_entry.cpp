// The plug-in library itself. Everything lives in the static libraries; the link pulls the
// one export, VSTPluginMain, out of them by name. Here the shell meets its editor: the library's
// attach hook installs the editor's table (the Win32 editor's from DllMain, the X11 editor's from
// the shared object's constructor) and its detach hook takes it away again.
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
#else
#include "editor/x11/x11_editor_entry.h"

// Opening the editor needs an X display; without one the table is installed all the same and
// effEditOpen answers 0.
__attribute__((constructor)) static void attachX11Editor() {
    attachLibrary(nullptr, &x11EditorEntryPoints());
}

__attribute__((destructor)) static void detachX11Editor() {
    detachLibrary();
}
#endif
