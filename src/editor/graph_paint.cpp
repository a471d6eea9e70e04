#include "editor/graph_paint.h"

#include "editor/core/graph_paint.h"
#include "editor/editor_state.h"
#include "raster/pixo.h"
#include "shell/compressor_effect.h"

#include <new>

namespace {

// Shared by every instance: the fonts are made on the first paint and deleted with the last
// instance; the gauge sprite lives as long as the library.
GraphPaintCache sharedPaintCache;

// The system's colour reference (red in the low byte) as a raster colour with alpha byte 0.
uint32_t fromColorRef(COLORREF colour) {
    return (uint32_t(GetRValue(colour)) << 16) | (uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
}

} // namespace

void deleteGraphFonts() { sharedPaintCache.releaseFonts(); }

void paintGraph(HWND window, CompressorEffect& fx) {
    const uint32_t now = GetTickCount();
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int32_t width = client.right - client.left, height = client.bottom - client.top;

    EditorState* state = editorStateOf(fx);
    if (state && !state->graphBitmap)
        state->graphBitmap = new (std::nothrow) PIXO_SysBitmap(width, height);
    PIXO_SysBitmap* back = state ? state->graphBitmap : nullptr;
    if (back)
        back->setSize(width, height);
    if (!dc || !back || !back->pixels()) {
        EndPaint(window, &paint);
        return;
    }

    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    ScreenToClient(window, &pointer);
    GraphFrame frame;
    frame.now = now;
    frame.pointerX = pointer.x;
    frame.pointerY = pointer.y;
    frame.scale = state->scale;
    frame.infoBand = state->gestures.dragBand;
    frame.infoBackground = fromColorRef(GetSysColor(COLOR_INFOBK));
    frame.infoText = fromColorRef(GetSysColor(COLOR_INFOTEXT));
    renderGraph(fx, state->bandCopies, sharedPaintCache, *back, frame);
    BitBlt(dc, 0, 0, width, height, back->deviceContext(), 0, 0, SRCCOPY);
    EndPaint(window, &paint);
}
