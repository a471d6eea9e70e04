#include "editor/meter_drawing.h"

COLORREF meterRampColour(int32_t position) {
    const uint32_t pixel = meterRampPixel(position);
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void setMeterScale(MeterState& state, double scale) {
    state.painter.setScale(scale);
}

bool drawVerticalMeter(MeterState& state, int32_t width, int32_t height) {
    return state.painter.drawVertical(state, width, height);
}

bool drawHorizontalMeter(MeterState& state, int32_t width, int32_t height) {
    return state.painter.drawHorizontal(state, width, height);
}
