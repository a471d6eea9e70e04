#include "shell/module.h"

#include <atomic>

namespace {
// Written by the library's attach and detach, which the loader runs before and after every
// other call; atomic all the same, for tests that attach on one thread and run on others.
std::atomic<void*> moduleHandle{nullptr};
std::atomic<const EditorEntryPoints*> installedEditor{nullptr};
} // namespace

void attachLibrary(void* module, const EditorEntryPoints* editor) {
    moduleHandle = module;
    installedEditor = editor;
    if (editor)
        editor->registerControlClasses(module);
}

void detachLibrary() {
    if (const EditorEntryPoints* editor = installedEditor.exchange(nullptr))
        editor->unregisterControlClasses(moduleHandle);
    moduleHandle = nullptr;
}

void* libraryModule() {
    return moduleHandle;
}

bool platformHasEditor() {
    return installedEditor != nullptr;
}

void registerInstanceClasses() {
    if (const EditorEntryPoints* editor = installedEditor)
        editor->registerInstanceClasses(moduleHandle);
}

void unregisterInstanceClasses() {
    if (const EditorEntryPoints* editor = installedEditor)
        editor->unregisterInstanceClasses(moduleHandle);
}

bool openEditor(CompressorEffect& effect, void* parentWindow) {
    const EditorEntryPoints* editor = installedEditor;
    return editor && editor->open(effect, parentWindow);
}

void closeEditor(CompressorEffect& effect) {
    if (const EditorEntryPoints* editor = installedEditor)
        editor->close(effect);
}

bool editorClientSize(const CompressorEffect& effect, int32_t& width, int32_t& height) {
    const EditorEntryPoints* editor = installedEditor;
    return editor && editor->clientSize(effect, width, height);
}

void releaseEditorState(CompressorEffect& effect) {
    if (const EditorEntryPoints* editor = installedEditor)
        editor->releaseState(effect);
}
