// The record of one level meter window and the values its levels start from: what the meter
// procedures (meter.h) keep and the meter drawing (meter_drawing.h) draws from.
#pragma once

#include <cstdint>

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
    // Device pixels per 96-dpi pixel (METER_SETSCALE): the font, labels and readouts grow by it.
    double scale = 1.0;
    int32_t maxSinceReset[2] = {kMeterIdleLevel, kMeterIdleLevel};
    int32_t peakHold[2] = {kMeterIdleLevel, kMeterIdleLevel};
    int32_t level[2] = {kMeterIdleLevel, kMeterIdleLevel};
    uint32_t holdStart[2] = {0, 0};
    // The mode the strip was last rendered in, -1 before the first rendering.
    int32_t stripMode = -1;
};
