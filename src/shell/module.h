// Platform hooks of the shell: the window classes that live while instances live, and the
// editor window an instance may own. On platforms without an editor they do nothing.
#pragma once

class CompressorEffect;

bool platformHasEditor();
// Registered by the first live instance, unregistered with the last.
void registerInstanceClasses();
void unregisterInstanceClasses();
void destroyEditorWindow(CompressorEffect& effect);
