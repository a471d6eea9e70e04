// Builds without an editor: no module handle, no window classes, no editor window.
#include "shell/module.h"

void* libraryModule() {
    return nullptr;
}
bool platformHasEditor() {
    return false;
}
void registerControlClasses(void*) {}
void unregisterControlClasses(void*) {}
void registerInstanceClasses() {}
void unregisterInstanceClasses() {}
bool openEditor(CompressorEffect&, void*) {
    return false;
}
void closeEditor(CompressorEffect&) {}
bool editorClientSize(const CompressorEffect&, int32_t&, int32_t&) {
    return false;
}
void releaseEditorState(CompressorEffect&) {}
