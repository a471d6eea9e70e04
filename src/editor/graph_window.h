// The response graph's window class. Its procedure finds the instance through the parent
// dialog's GWLP_USERDATA and hands everything it does not handle to DefWindowProcA.
#pragma once

#include "support/windows_prelude.h"

constexpr const char* kGraphWindowClass = "TarnwellWindow";

LRESULT CALLBACK GraphWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Deletes the graph's shared fonts (when the last instance goes).
void deleteGraphFonts();
