// The record of one level meter window: the meter's values and rules (editor/core/meter_model.h)
// with the two system bitmaps the core's meter drawing draws into and the window blits from.
#pragma once

#include "editor/core/meter_model.h"
#include "editor/core/meter_render.h"
#include "raster/pixo.h"
#include "support/windows_prelude.h"

// One per meter window, attached through GWLP_USERDATA from WM_CREATE to WM_DESTROY.
struct MeterState : MeterValues {
    MeterState() : painter(frame, strip) {}
    MeterState(const MeterState&) = delete;
    MeterState& operator=(const MeterState&) = delete;

    PIXO_SysBitmap frame;  // the composed image, client-sized
    PIXO_SysBitmap strip;  // the whole scale twice: idle colours and lit colours
    MeterPainter painter;  // draws into the two above
};
