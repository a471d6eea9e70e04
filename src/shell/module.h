// The shell's window onto the platform and the editor: what the library entry, the instance
// and the dispatcher need from them. On Windows the editor library defines the editor hooks;
// builds without an editor (module_posix.cpp) answer that there is none. The shell includes
// no editor header, so at compile time the dependency runs one way only.
#pragma once

#include <cstdint>

class CompressorEffect;

// The library's module handle (its HINSTANCE on Windows), stored by the attach hook; null in
// builds without one.
void* libraryModule();

bool platformHasEditor();

// While the library is attached to a process: the editor's control window classes and the
// registered wheel message. Counted: only the first registration and the last
// unregistration do the work.
void registerControlClasses(void* module);
void unregisterControlClasses(void* module);

// Registered by the first live instance and unregistered with the last (the response graph's
// class; the last instance also deletes the graph's shared fonts).
void registerInstanceClasses();
void unregisterInstanceClasses();

// The editor opcodes. openEditor creates the editor inside the host's parent window (at most
// one per instance) and returns false when it could not; closeEditor destroys it if it
// exists; editorClientSize gives the open editor's client size, false when none is open.
bool openEditor(CompressorEffect& effect, void* parentWindow);
void closeEditor(CompressorEffect& effect);
bool editorClientSize(const CompressorEffect& effect, int32_t& width, int32_t& height);

// Releases what the editor keeps for the instance (effect.editorState) when the instance goes.
void releaseEditorState(CompressorEffect& effect);
