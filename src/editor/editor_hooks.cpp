// The editor's side of the shell's platform hooks (shell/module.h) on Windows.
#include "shell/module.h"

#include "editor/control_classes.h"
#include "editor/graph_window.h"
#include "editor/main_window.h"
#include "shell/compressor_effect.h"

bool platformHasEditor() {
    return true;
}

void registerControlClasses(void* module) {
    RegisterControlClasses(static_cast<HINSTANCE>(module));
}
void unregisterControlClasses(void* module) {
    UnregisterControlClasses(static_cast<HINSTANCE>(module));
}

void registerInstanceClasses() {
    registerGraphClass(static_cast<HINSTANCE>(libraryModule()));
}

void unregisterInstanceClasses() {
    unregisterGraphClass(static_cast<HINSTANCE>(libraryModule()));
    deleteGraphFonts();
}

bool openEditor(CompressorEffect& effect, void* parentWindow) {
    if (!parentWindow)
        return false;
    closeEditor(effect);
    return CreateMainWindow(effect, static_cast<HWND>(parentWindow)) != nullptr;
}

void closeEditor(CompressorEffect& effect) {
    if (void* window = effect.editorWindow) {
        effect.editorWindow = nullptr;
        DestroyWindow(static_cast<HWND>(window));
    }
}

bool editorClientSize(const CompressorEffect& effect, int32_t& width, int32_t& height) {
    RECT client;
    void* window = effect.editorWindow;
    if (!window || !GetClientRect(static_cast<HWND>(window), &client))
        return false;
    width = client.right - client.left;
    height = client.bottom - client.top;
    return true;
}
