// The Win32 editor's entry points, as the table the shell calls them through (shell/module.h).
// The plug-in's DllMain installs it with attachLibrary; so do the tests that run the editor
// inside their own program.
#pragma once

#include "shell/module.h"

const EditorEntryPoints& windowsEditorEntryPoints();
