// The two level meter classes: two-channel peak meters fed levels in tenths of a decibel by
// METER_SETLEVELS, with a one-second peak hold, a maximum since the last reset (a click
// resets it) and LED-striped bars; the vertical meter also shows gain reduction. Holds only
// expire when new levels arrive: a meter has no timer, so a silent sender freezes it.
#pragma once

#include <cstdint>

#include "editor/resource.h"
#include "raster/pixo.h"
#include "support/windows_prelude.h"

// A level that also clears the channel's maximum.
constexpr int32_t kMeterSilence = -120000;
// Where every value of a new meter (and of a reset horizontal meter) starts.
constexpr int32_t kMeterIdleLevel = -10000;
constexpr int32_t kMeterLevelMode = 0;
constexpr int32_t kMeterGainReductionMode = 1;
constexpr uint32_t kMeterHoldMs = 1000;

// One per meter window, attached through GWLP_USERDATA from WM_CREATE to WM_DESTROY.
struct MeterState {
    MeterState() = default;
    ~MeterState();
    MeterState(const MeterState&) = delete;
    MeterState& operator=(const MeterState&) = delete;

    HFONT font = nullptr;  // made on first paint
    PIXO_SysBitmap frame;  // the composed image, client-sized
    PIXO_SysBitmap strip;  // the whole scale twice: idle colours and lit colours
    int32_t mode = kMeterLevelMode;
    int32_t maxSinceReset[2] = {kMeterIdleLevel, kMeterIdleLevel};
    int32_t peakHold[2] = {kMeterIdleLevel, kMeterIdleLevel};
    int32_t level[2] = {kMeterIdleLevel, kMeterIdleLevel};
    uint32_t holdStart[2] = {0, 0};
    // The mode the strip was last rendered in, -1 before the first rendering.
    int32_t stripMode = -1;
};

LRESULT CALLBACK VerticalMeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HorizontalMeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The state of a meter window; null when it has none (its creation failed).
MeterState* MeterStateOf(HWND window);

// Whether a hold taken at holdStart has run out at now (tick counts; survives their wrap).
bool HoldExpired(uint32_t now, uint32_t holdStart);

// Takes one pair of levels: holds and maxima follow them, in the meter's mode.
void UpdateMeterLevels(MeterState& state, int32_t level0, int32_t level1, uint32_t now);
