#include "editor/core/meter_model.h"

#include <algorithm>
#include <cstdio>

bool holdExpired(uint32_t now, uint32_t holdStart) {
    return uint32_t(now - holdStart) > kMeterHoldMs;
}

void updateMeterLevels(MeterValues& values, int32_t level0, int32_t level1, uint32_t now) {
    values.level[0] = level0;
    values.level[1] = level1;
    const bool gainReduction = values.mode == kMeterGainReductionMode;
    for (int n = 0; n < 2; ++n) {
        const int32_t level = values.level[n];
        if (level == kMeterSilence) {
            values.maxSinceReset[n] = kMeterSilence;
            values.peakHold[n] = level;
            values.holdStart[n] = now;
        } else {
            const bool beatsHold = gainReduction ? level < values.peakHold[n] : level > values.peakHold[n];
            if (beatsHold || holdExpired(now, values.holdStart[n])) {
                values.peakHold[n] = level;
                values.holdStart[n] = now;
            }
        }
        if (gainReduction ? level < values.maxSinceReset[n] : level > values.maxSinceReset[n])
            values.maxSinceReset[n] = level;
    }
}

void resetMeterValues(MeterValues& values, int32_t value) {
    for (int n = 0; n < 2; ++n)
        values.maxSinceReset[n] = values.peakHold[n] = values.level[n] = value;
}

void setMeterMode(MeterValues& values, int32_t requested) {
    values.mode = requested == 1 ? kMeterGainReductionMode : kMeterLevelMode;
    resetMeterValues(values, verticalScaleOf(values.mode, 0).resetValue);
}

VerticalMeterScale verticalScaleOf(int32_t mode, int32_t height) {
    if (mode == kMeterGainReductionMode)
        return {21, 0, 210, 0, height - height * 209 / 240, 0};
    const int32_t zeroLine = height - height * 619 / 680;
    return {62, 6, 680, zeroLine, zeroLine, kMeterSilence};
}

int32_t horizontalMeterZero(int32_t width) {
    return width * 619 / 680;
}

bool clickVerticalMeter(MeterValues& values, int32_t height, int32_t y) {
    const VerticalMeterScale scale = verticalScaleOf(values.mode, height);
    if (values.mode != kMeterGainReductionMode && y >= scale.zeroLine)
        return false;
    resetMeterValues(values, scale.resetValue);
    return true;
}

bool clickHorizontalMeter(MeterValues& values, int32_t width, int32_t x) {
    if (x <= std::min(width - 10, horizontalMeterZero(width)) - 8)
        return false;
    resetMeterValues(values, kMeterIdleLevel);
    return true;
}

void formatMeterReading(int32_t tenths, char (&text)[16]) {
    if (tenths < -999) {
        std::snprintf(text, sizeof(text), "-inf");
        return;
    }
    const int64_t magnitude = tenths < 0 ? -int64_t(tenths) : int64_t(tenths);
    std::snprintf(text, sizeof(text), "%c%d.%01d", tenths >= 0 ? '+' : '-', int(magnitude / 10),
                  int(magnitude % 10));
}
