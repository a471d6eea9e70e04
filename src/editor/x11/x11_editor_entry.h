// The X11 editor's table for the shell (shell/module.h): the Linux plug-in installs it when the
// library is loaded. effEditOpen's parent is the host's window as an XID in the pointer; without
// a display the editor does not open and the plug-in runs on without one.
#pragma once

#include "shell/module.h"

const EditorEntryPoints& x11EditorEntryPoints();
