// The response graph's mouse messages on Windows: each becomes a call of the instance's
// GraphGestures (editor/core/graph_gestures.h), which holds the gesture rules, with the modifier
// keys read from GetKeyState and the window's capture, tabs, band panel and main-window
// commands behind the core's port. The context menu is the resource menu, shown with
// TrackPopupMenu, its states and commands from the core's menu model (editor/core/graph_menu.h).
#pragma once

#include "support/windows_prelude.h"

#include <cstdint>

class CompressorEffect;

void onSetCursor(HWND window, CompressorEffect& fx);
void onLeftButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y);
void onMouseMove(HWND window, CompressorEffect& fx, int32_t x, int32_t y);
void onLeftButtonUp(HWND window, CompressorEffect& fx);
// delta in the system's units (120 a notch); screen the pointer in screen coordinates.
void onMouseWheel(HWND window, CompressorEffect& fx, int32_t delta, POINT screen);
void onRightButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y);
