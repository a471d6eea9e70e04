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

// Whether a hold taken at holdStart has run out at now (tick counts; survives their wrap).
bool holdExpired(uint32_t now, uint32_t holdStart);

// Takes one pair of levels: holds and maxima follow them, in the meter's mode.
void updateMeterLevels(MeterState& state, int32_t level0, int32_t level1, uint32_t now);
