#include "editor/meter.h"

#include <algorithm>
#include <new>

#include "editor/meter_drawing.h"
#include "editor/core/ui_scale.h"

MeterState* meterStateOf(HWND window) {
    return reinterpret_cast<MeterState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

namespace {

int32_t clientWidthOf(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return client.right;
}

int32_t clientHeightOf(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return client.bottom;
}

LRESULT onCreate(HWND window) {
    SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(new (std::nothrow) MeterState));
    return 0;
}

LRESULT onDestroy(HWND window) {
    MeterState* state = meterStateOf(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete state;
    return 0;
}

LRESULT onPaint(bool vertical, HWND window, MeterState& state) {
    PAINTSTRUCT paint;
    HDC paintDc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    bool drawn = vertical ? drawVerticalMeter(state, client.right, client.bottom)
                          : drawHorizontalMeter(state, client.right, client.bottom);
    if (drawn) {
        RECT area = paint.rcPaint;
        area.right = std::min<LONG>(area.right, state.frame.width());
        area.bottom = std::min<LONG>(area.bottom, state.frame.height());
        if (area.right > area.left && area.bottom > area.top)
            BitBlt(paintDc, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   state.frame.deviceContext(), area.left, area.top, SRCCOPY);
    }
    EndPaint(window, &paint);
    return 0;
}

// The vertical meter resets on any click in gain-reduction mode, otherwise on one above 0 dB.
LRESULT onVerticalLButtonDown(HWND window, MeterState& state, LPARAM lParam) {
    if (clickVerticalMeter(state, clientHeightOf(window), int16_t(HIWORD(lParam))))
        InvalidateRect(window, nullptr, FALSE);
    return 0;
}

// The horizontal meter resets on a click on its over zone or the readout beside it.
LRESULT onHorizontalLButtonDown(HWND window, MeterState& state, LPARAM lParam) {
    if (clickHorizontalMeter(state, clientWidthOf(window), int16_t(LOWORD(lParam))))
        InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT onSetLevels(HWND window, MeterState& state, WPARAM wParam, LPARAM lParam) {
    updateMeterLevels(state, int32_t(wParam), int32_t(lParam), GetTickCount());
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT meterProc(bool vertical, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        return onCreate(window);
    MeterState* state = meterStateOf(window);
    if (state) {
        switch (message) {
        case WM_DESTROY: return onDestroy(window);
        case WM_PAINT: return onPaint(vertical, window, *state);
        case WM_LBUTTONDOWN:
            return vertical ? onVerticalLButtonDown(window, *state, lParam)
                            : onHorizontalLButtonDown(window, *state, lParam);
        case METER_SETLEVELS: return onSetLevels(window, *state, wParam, lParam);
        case METER_SETSCALE:
            setMeterScale(*state, scaleOfDpi(int32_t(wParam)));
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case METER_SETMODE:
            if (!vertical)
                break;
            setMeterMode(*state, lParam == 1 ? kMeterGainReductionMode : kMeterLevelMode);
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

LRESULT CALLBACK verticalMeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return meterProc(true, window, message, wParam, lParam);
}

LRESULT CALLBACK horizontalMeterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return meterProc(false, window, message, wParam, lParam);
}
