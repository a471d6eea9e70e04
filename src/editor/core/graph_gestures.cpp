#include "editor/core/graph_gestures.h"

#include "shell/compressor_effect.h"
#include "shell/conversions.h"
#include "shell/edit_gesture.h"
#include "support/stable_math.h"

#include <algorithm>
#include <cmath>

namespace {

GraphGeometry geometryOf(GraphPort& port, const CompressorEffect& fx) {
    const GraphArea area = port.area();
    return GraphGeometry(area.width, area.height, fx.showTabs != 0, area.scale);
}

bool bandExists(CompressorEffect& fx, int32_t index) {
    BandView view;
    return fx.viewBand(index, view);
}

double gainPlusDb(double gain, double db) {
    return dbToAmp(ampToDb(gain) + db);
}

double ratioTimesPowerOfTen(double ratio, double exponent, double lowest) {
    return std::clamp(stable_math::pow(10.0, std::log10(ratio) + exponent), lowest, 100.0);
}

} // namespace

void selectGraphBand(CompressorEffect& fx, GraphPort& port, int32_t index) {
    fx.currentBand = index;
    port.showCurrentBand(index);
    port.refreshBandPanel();
    port.repaintGraph();
}

GraphBands GraphGestures::bands(CompressorEffect& fx) {
    return copyGraphBands(fx, copies_, nullptr);
}

GraphCursor GraphGestures::cursorAt(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y) {
    GraphHitKind kind = HIT_LINE;
    const int32_t band = hitTestBand(bands(fx), geometryOf(port, fx), x, y, kind);
    if (band < 0)
        return GraphCursor::Arrow;
    return kind == HIT_HANDLE ? GraphCursor::Hand : GraphCursor::ResizeHorizontal;
}

void GraphGestures::press(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y) {
    lastX_ = x;
    lastY_ = y;
    GraphHitKind kind = HIT_LINE;
    const int32_t band = hitTestBand(bands(fx), geometryOf(port, fx), x, y, kind);
    if (band < 0)
        return;
    if (kind != HIT_LINE)
        selectGraphBand(fx, port, band);
    dragBand = band;
    port.capturePointer();
    dragMode = kind == HIT_HANDLE ? 0 : DRAG_FREQUENCY;
}

// One move of a handle gesture: d 96-dpi pixels upward, so a hand's movement edits as much at
// any scale.
void GraphGestures::dragHandle(CompressorEffect& fx, const GraphGeometry& g, int32_t y, GraphModifiers keys) {
    const int32_t band = dragBand;
    const double d = (lastY_ - y) / g.scale;
    const bool fine = keys.control;
    const EditReport move = EditReport::Move;
    int32_t edited;
    bool stored;
    if (keys.shift) {
        edited = DRAG_EDITED_GAIN;
        stored = editSettingFrom(
            fx, band, kSettingGain, [&](double gain) { return gainPlusDb(gain, d * (fine ? 0.05 : 0.2)); }, move);
    } else if (keys.alt) {
        edited = DRAG_EDITED_RATIO;
        stored = editSettingFrom(
            fx, band, kSettingRatio,
            [&](double ratio) { return ratioTimesPowerOfTen(ratio, d * (fine ? 0.002 : 0.02), 0.1); }, move);
    } else {
        edited = DRAG_EDITED_THRESHOLD;
        const double from = ampToDb(g.amplitudeOfY(lastY_)), to = ampToDb(g.amplitudeOfY(y));
        const double moved = (fine ? 0.9 * from + 0.1 * to : to) - from;
        stored = editSettingFrom(
            fx, band, kSettingThreshold,
            [&](double threshold) {
                return std::min(dbToAmp(std::max(ampToDb(threshold) + moved, -60.0)), 64.0);
            },
            move);
    }
    if (stored)
        dragMode |= edited;
}

void GraphGestures::move(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y, GraphModifiers keys) {
    const GraphGeometry g = geometryOf(port, fx);
    if (!port.holdsPointer()) {
        dragBand = hitTestHandle(bands(fx), g, x, y);
        return;
    }
    const int32_t band = dragBand;
    if (!bandExists(fx, band))
        return;
    x = std::clamp(x, 0, g.width);
    if (dragMode & DRAG_FREQUENCY) {
        if (x != lastX_ && editSetting(fx, band, kSettingFrequency, g.frequencyOfX(x), EditReport::Move))
            dragMode |= DRAG_EDITED_FREQUENCY;
    } else if (y != lastY_) {
        dragHandle(fx, g, y, keys);
    }
    lastX_ = x;
    lastY_ = y;
    port.refreshBandPanel();
}

void GraphGestures::release(CompressorEffect& fx, GraphPort& port) {
    const int32_t band = dragBand;
    if (band >= 0) {
        // The host hears the ends of the gesture in this order, whatever order the edits came in.
        const struct {
            int32_t bit, kind;
        } ends[] = {{DRAG_EDITED_THRESHOLD, kSettingThreshold},
                    {DRAG_EDITED_FREQUENCY, kSettingFrequency},
                    {DRAG_EDITED_RATIO, kSettingRatio},
                    {DRAG_EDITED_GAIN, kSettingGain}};
        for (const auto& end : ends)
            if (dragMode & end.bit)
                reportEdit(fx, band, end.kind, EditReport::End);
        dragMode = 0;
    }
    dragBand = -1;
    if (port.holdsPointer())
        port.releasePointer();
}

void GraphGestures::wheel(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y, int32_t delta,
                          GraphModifiers keys) {
    const int32_t band = hitTestHandle(bands(fx), geometryOf(port, fx), x, y);
    if (delta == 0 || band < 0)
        return;
    const double steps = delta / 50.0;
    const bool fine = keys.control;
    // The wheel tells the host nothing.
    const EditReport nothing = EditReport::Nothing;
    bool stored;
    if (keys.shift)
        stored = editSettingFrom(
            fx, band, kSettingGain, [&](double gain) { return gainPlusDb(gain, steps * (fine ? 0.08 : 0.25)); },
            nothing);
    else
        stored = editSettingFrom(
            fx, band, kSettingRatio,
            [&](double ratio) { return ratioTimesPowerOfTen(ratio, steps * (fine ? 0.002 : 0.02), 1.0); },
            nothing);
    if (stored)
        port.refreshBandPanel();
}

bool GraphGestures::rightPress(CompressorEffect& fx, GraphPort& port, int32_t x, int32_t y) {
    const int32_t band = hitTestHandle(bands(fx), geometryOf(port, fx), x, y);
    if (band >= 0)
        selectGraphBand(fx, port, band);
    dragBand = -1;
    dragMode = 0;
    return band >= 0;
}
