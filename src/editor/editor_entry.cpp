#include "editor/editor_entry.h"

#include "editor/control_classes.h"
#include "editor/editor_state.h"
#include "editor/graph_paint.h"
#include "editor/graph_window.h"
#include "editor/main_window.h"
#include "shell/compressor_effect.h"

namespace {

void registerControls(void* module) {
    registerControlClasses(static_cast<HINSTANCE>(module));
}
void unregisterControls(void* module) {
    unregisterControlClasses(static_cast<HINSTANCE>(module));
}

void registerInstanceWindows(void* module) {
    registerGraphClass(static_cast<HINSTANCE>(module));
}
void unregisterInstanceWindows(void* module) {
    unregisterGraphClass(static_cast<HINSTANCE>(module));
    deleteGraphFonts();
}

HWND mainWindowOf(const CompressorEffect& effect) {
    const EditorState* state = findEditorState(effect);
    return state ? state->mainWindow : nullptr;
}

void closeEditorWindow(CompressorEffect& effect) {
    if (HWND window = mainWindowOf(effect))
        DestroyWindow(window);
}

bool openEditorWindow(CompressorEffect& effect, void* parentWindow) {
    if (!parentWindow)
        return false;
    closeEditorWindow(effect);
    return createMainWindow(effect, static_cast<HWND>(parentWindow)) != nullptr;
}

bool editorWindowSize(const CompressorEffect& effect, int32_t& width, int32_t& height) {
    RECT client;
    HWND window = mainWindowOf(effect);
    if (!window || !GetClientRect(window, &client))
        return false;
    width = client.right - client.left;
    height = client.bottom - client.top;
    return true;
}

const EditorEntryPoints kWindowsEditor = {
    registerControls,  unregisterControls, registerInstanceWindows, unregisterInstanceWindows,
    openEditorWindow,  closeEditorWindow,  editorWindowSize,        releaseEditorStateOf,
};

} // namespace

const EditorEntryPoints& windowsEditorEntryPoints() {
    return kWindowsEditor;
}
