// Builds without an editor: no window classes, no editor window.
#include "shell/module.h"

bool platformHasEditor() { return false; }
void registerInstanceClasses() {}
void unregisterInstanceClasses() {}
void destroyEditorWindow(CompressorEffect&) {}
