// The shell's window onto the library's module and its editor. An editor library fills in a
// table of entry points, and whoever attaches the library (the plug-in's DllMain, a test)
// installs it; the shell calls the editor only through it and links no editor. Without a
// table (the shell's own tests, a program that attaches none) the instance has no editor and
// the editor opcodes answer so. The Win32 editor and the X11 editor each install their own.
#pragma once

#include <cstdint>

class CompressorEffect;

struct EditorEntryPoints {
    // While the library is attached to a process: the editor's control window classes and
    // the like. Counted by the editor: only the first registration and the last
    // unregistration do the work.
    void (*registerControlClasses)(void* module);
    void (*unregisterControlClasses)(void* module);
    // Called when the first instance comes to life and when the last goes (the response
    // graph's class and its shared fonts).
    void (*registerInstanceClasses)(void* module);
    void (*unregisterInstanceClasses)(void* module);
    // Creates the editor inside the host's parent window (at most one per instance); false
    // when it could not.
    bool (*open)(CompressorEffect& effect, void* parentWindow);
    // Destroys the instance's editor window if it exists.
    void (*close)(CompressorEffect& effect);
    // The open editor's client size; false when none is open.
    bool (*clientSize)(const CompressorEffect& effect, int32_t& width, int32_t& height);
    // Releases what the editor keeps for the instance (effect.editorState) when it goes.
    void (*releaseState)(CompressorEffect& effect);
};

// The library's attach and detach: stores the module handle (its HINSTANCE on Windows, may be
// null) and the editor's table (null: no editor), and has the editor register its control
// classes; detaching unregisters them and forgets both. Instances created while attached use
// the table; none may be alive when it changes.
void attachLibrary(void* module, const EditorEntryPoints* editor);
void detachLibrary();

// The module handle stored by attachLibrary; null before and in builds without one.
void* libraryModule();

// Whether an editor is installed.
bool platformHasEditor();

// The shell's calls of the installed editor; without one they do nothing (and openEditor and
// editorClientSize answer false).
void registerInstanceClasses();
void unregisterInstanceClasses();
bool openEditor(CompressorEffect& effect, void* parentWindow);
void closeEditor(CompressorEffect& effect);
bool editorClientSize(const CompressorEffect& effect, int32_t& width, int32_t& height);
void releaseEditorState(CompressorEffect& effect);
