// The preset control's window class: a button-like control on the banner's line that shows its
// window text (the preset label, UTF-16) drawn by the core's PresetControlPainter, from a DIB
// section at the scale its parent gives it (PRESET_SETSCALE). A left-button press takes the
// focus and tells the parent with WM_COMMAND / BN_CLICKED, as does the space bar; the parent
// opens the menu and shows the control pressed meanwhile (PRESET_SETPRESSED).
#pragma once

#include "support/windows_prelude.h"

#include <string>

constexpr const char* kPresetControlClass = "TarnwellPresetControl";
constexpr const wchar_t* kPresetControlClassW = L"TarnwellPresetControl";

LRESULT CALLBACK presetControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// UTF-8 and UTF-16 for the window system's wide calls; invalid input converts to what the
// system makes of it.
std::wstring wideOfUtf8(const std::string& text);
std::string utf8OfWide(const std::wstring& text);
