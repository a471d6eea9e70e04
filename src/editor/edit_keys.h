// The editor's keys that no single control owns: Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo,
// while the main window or any window inside it (the band panel, edit boxes, faders, graph,
// buttons, preset control) has the focus. A host's message loop hands key messages to the
// focused control, so a message hook on each thread with an open editor (WH_GETMESSAGE,
// removed with that thread's last editor) sees them first: it turns an undo key into
// MSG_EDIT_KEY for the editor it belongs to and drops the key. The same hook ends a typed
// value's undo step when Return is pressed in an edit box, or a mouse button is pressed
// elsewhere in the editor while one has the focus.
#pragma once

#include "support/windows_prelude.h"

// From the main window's creation to its destruction, on the window's own thread.
void watchEditKeys(HWND mainWindow);
void unwatchEditKeys(HWND mainWindow);
