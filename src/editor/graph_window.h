// The response graph's window class. Its procedure finds the instance through the parent
// dialog's GWLP_USERDATA and hands everything it does not handle to DefWindowProcA (the mouse
// messages also after handling them). The registered "MSWHEEL_ROLLMSG" counts as a wheel
// message whose wParam holds the delta in its low word.
#pragma once

#include "support/windows_prelude.h"

constexpr const char* kGraphWindowClass = "TarnwellWindow";

LRESULT CALLBACK graphWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers and unregisters the graph's class (the first and the last live instance).
void registerGraphClass(HINSTANCE module);
void unregisterGraphClass(HINSTANCE module);
