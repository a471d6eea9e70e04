// The response graph's mouse handling: the cursor by what lies under it, gestures (a frequency
// line drags the band's top frequency; a handle drags its threshold, with Shift its gain and
// with Alt its ratio, Control for fine steps), the wheel over a handle, and the context menu.
// Every edit is one of the instance's edit gestures (editSetting, editSettingFrom), so a result
// that is not finite is not stored. Drags report every move and, at the button's release, the
// end of each setting they edited; the menu's band switches report the end of a gesture, as
// the band panel's switches do; the wheel reports nothing.
#pragma once

#include "support/windows_prelude.h"

#include <cstdint>

class CompressorEffect;

// The EditorState::dragMode bits: what a gesture edited, and whether it moves the frequency.
constexpr int32_t DRAG_EDITED_THRESHOLD = 1;
constexpr int32_t DRAG_EDITED_FREQUENCY = 2;
constexpr int32_t DRAG_EDITED_RATIO = 4;
constexpr int32_t DRAG_EDITED_GAIN = 8;
constexpr int32_t DRAG_FREQUENCY = 0x8000;

// Makes index the current band: the main window's tab, the band panel and the graph follow.
void selectBand(HWND window, CompressorEffect& fx, int32_t index);

void onSetCursor(HWND window, CompressorEffect& fx);
void onLeftButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y);
void onMouseMove(HWND window, CompressorEffect& fx, int32_t x, int32_t y);
void onLeftButtonUp(HWND window, CompressorEffect& fx);
// delta in the system's units (120 a notch); screen the pointer in screen coordinates.
void onMouseWheel(HWND window, CompressorEffect& fx, int32_t delta, POINT screen);
void onRightButtonDown(HWND window, CompressorEffect& fx, int32_t x, int32_t y);
