// The preset control's side of the main window: its label, its menu (the core's preset menu
// shown as a Win32 popup menu, the choice run through a PresetPort of this window system's
// dialogs) and the undo and redo the keys ask for. Editor thread only, never under the
// instance lock.
#pragma once

#include "support/windows_prelude.h"

#include <cstdint>

class CompressorEffect;

// Writes the preset control's label when the instance's name, modified mark or A/B slot
// changed since the control last showed it.
void showPresetLabel(HWND mainWindow, CompressorEffect& fx);

// Every control shows the instance again (tabs, band panel, output gain, graph, preset label),
// as after a host's state load.
void showWholeInstance(HWND mainWindow, CompressorEffect& fx);

// Opens the menu just below the preset control, shown pressed meanwhile, and runs the choice.
void openPresetMenu(HWND mainWindow, CompressorEffect& fx);

// Runs one of the menu's commands without the menu (IDM_UNDO, IDM_REDO from the keys); an
// undo first closes the step of a value still being typed.
void runPresetCommand(HWND mainWindow, CompressorEffect& fx, uint32_t command);
