// The two level meter classes: two-channel peak meters fed levels in tenths of a decibel by
// METER_SETLEVELS, with a one-second peak hold, a maximum since the last reset (a click
// resets it) and LED-striped bars; the vertical meter also shows gain reduction. Holds only
// expire when new levels arrive: a meter has no timer, so a silent sender freezes it.
#pragma once

#include <cstdint>

#include "editor/meter_state.h"
#include "editor/resource.h"
#include "support/windows_prelude.h"

LRESULT CALLBACK verticalMeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK horizontalMeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The state of a meter window; null when it has none (its creation failed).
MeterState* meterStateOf(HWND window);
