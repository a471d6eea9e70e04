#include "editor/fader.h"

#include <algorithm>
#include <cstdint>

#include "editor/control_resources.h"
#include "editor/fader_cap.h"
#include "editor/core/fader_drawing.h"
#include "editor/core/fader_model.h"
#include "editor/core/ui_scale.h"

namespace {

// One memory DC and bitmap per class, shared by its windows; it only ever grows.
struct FaderBackBuffer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    int32_t width = -100;
    int32_t height = -100;
};

// Only the window holding the mouse capture uses its class's record.
struct DragRecord {
    FaderDrag gesture;
    // The window whose drag is under way: set with the capture, cleared at the release.
    HWND window = nullptr;
};

// What tells the two classes apart, with the state each class shares among its windows.
struct FaderKind {
    bool vertical;
    UINT notification;
    HBITMAP (*skin)();
    HBITMAP (*largeSkin)();
    int32_t defaultThumbWidth;
    int32_t defaultThumbHeight;
    FaderBackBuffer backBuffer;
    DragRecord drag;
};

FaderKind verticalKind = {true,  WM_VSCROLL, verticalFaderSkin, largeVerticalFaderSkin,
                          kVerticalThumbWidth, kVerticalThumbHeight, {}, {}};
FaderKind horizontalKind = {false, WM_HSCROLL, horizontalFaderSkin, largeHorizontalFaderSkin,
                            kHorizontalThumbWidth, kHorizontalThumbHeight, {}, {}};

constexpr COLORREF kLevelOverlayColour = RGB(32, 192, 0);

FaderModel modelOf(const FaderKind& kind, HWND window) {
    return faderModelOf(window, kind.vertical);
}

void storePosition(HWND window, const FaderModel& fader) {
    SetWindowLongA(window, FADER_WORD_STORED_POSITION, fader.storedPosition);
}

// The thumb's image and, in size, its extent at 96 dpi (a skin's own size, or the drawn cap's).
// The drawn cap comes already at the scaled size; a skin, or above 96 dpi its double-size
// version when there is one, is stretched to it when painted.
HBITMAP thumbImage(const FaderKind& kind, double scale, BITMAP* size) {
    HBITMAP skin = kind.skin();
    if (skin && GetObjectA(skin, sizeof(BITMAP), size) && size->bmWidth > 0 && size->bmHeight > 0) {
        HBITMAP large = scale > 1.0 ? kind.largeSkin() : nullptr;
        BITMAP largeSize = {};
        return large && GetObjectA(large, sizeof largeSize, &largeSize) ? large : skin;
    }
    size->bmWidth = kind.defaultThumbWidth;
    size->bmHeight = kind.defaultThumbHeight;
    return plainFaderCap(kind.vertical, scale);
}

FaderGeometry geometryOf(const FaderKind& kind, HWND window, double scale) {
    RECT client;
    GetClientRect(window, &client);
    BITMAP thumb = {};
    thumbImage(kind, scale, &thumb);
    return faderGeometry(kind.vertical, scale, client.right, client.bottom, thumb.bmWidth, thumb.bmHeight);
}

int32_t alongOf(const FaderKind& kind, LPARAM lParam) {
    return kind.vertical ? int16_t(HIWORD(lParam)) : int16_t(LOWORD(lParam));
}

int32_t acrossOf(const FaderKind& kind, LPARAM lParam) {
    return kind.vertical ? int16_t(LOWORD(lParam)) : int16_t(HIWORD(lParam));
}

bool keyHeld(int virtualKey) {
    return GetAsyncKeyState(virtualKey) < 0;
}

void notifyParent(const FaderKind& kind, HWND window, WPARAM code) {
    SendMessageA(GetParent(window), kind.notification, code, LPARAM(window));
}

void invalidate(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
}

// ---------------------------------------------------------------------------------------------
// Painting

// The class's back buffer, grown to hold the client area; null when it cannot be made.
HDC prepareBackBuffer(FaderBackBuffer& buffer, HDC paintDc, const FaderGeometry& g) {
    if (!buffer.dc)
        buffer.dc = CreateCompatibleDC(paintDc);
    if (!buffer.dc)
        return nullptr;
    if (buffer.width < g.clientWidth || buffer.height < g.clientHeight) {
        int32_t width = std::max(buffer.width, g.clientWidth);
        int32_t height = std::max(buffer.height, g.clientHeight);
        if (buffer.previousBitmap)
            SelectObject(buffer.dc, buffer.previousBitmap);
        if (buffer.bitmap)
            DeleteObject(buffer.bitmap);
        buffer.previousBitmap = nullptr;
        buffer.bitmap = CreateCompatibleBitmap(paintDc, width, height);
        if (!buffer.bitmap) {
            buffer.width = buffer.height = -100;
            return nullptr;
        }
        buffer.previousBitmap = SelectObject(buffer.dc, buffer.bitmap);
        buffer.width = width;
        buffer.height = height;
    }
    return buffer.dc;
}

void releaseBackBuffer(FaderBackBuffer& buffer) {
    if (buffer.dc && buffer.previousBitmap)
        SelectObject(buffer.dc, buffer.previousBitmap);
    if (buffer.bitmap)
        DeleteObject(buffer.bitmap);
    if (buffer.dc)
        DeleteDC(buffer.dc);
    buffer = FaderBackBuffer{};
}

void fillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void paintBackground(HWND window, HDC dc, const FaderGeometry& g) {
    HWND parent = GetParent(window);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, WM_CTLCOLORDLG, WPARAM(dc), LPARAM(parent)));
    RECT client = {0, 0, g.clientWidth, g.clientHeight};
    if (brush)
        FillRect(dc, &client, brush);
    else
        fillSolid(dc, client, GetSysColor(COLOR_BTNFACE));
}

// Two level bars in the margins beside the track, each from its level down to the bottom.
void paintLevelOverlay(HDC dc, const FaderGeometry& g, const FaderModel& fader) {
    PIXO_Rect left, right;
    if (!faderOverlayBars(g, fader.levelOverlay, left, right))
        return;
    fillSolid(dc, left, kLevelOverlayColour);
    fillSolid(dc, right, kLevelOverlayColour);
}

// A line where a double-click would put the thumb's centre, in the DC's current text colour
// (the parent's WM_CTLCOLORDLG answer chooses it).
void paintDefaultLine(HDC dc, const FaderGeometry& g, const FaderModel& fader) {
    HPEN pen = CreatePen(PS_SOLID, scaledStroke(1, g.scale), GetTextColor(dc));
    HGDIOBJ previousPen = SelectObject(dc, pen);
    const int32_t at = faderDefaultLineAt(g, fader.range(), fader.defaultTarget());
    if (g.vertical) {
        MoveToEx(dc, 2, at, nullptr);
        LineTo(dc, g.clientWidth - 2, at);
    } else {
        MoveToEx(dc, at, 2, nullptr);
        LineTo(dc, at, g.clientHeight - 2);
    }
    SelectObject(dc, previousPen);
    DeleteObject(pen);
}

void paintTrack(HWND window, HDC dc, const FaderGeometry& g, const FaderModel& fader) {
    COLORREF trackColour = GetSysColor(COLOR_BTNSHADOW);
    if (!(fader.flags & kFaderNoTrackColourQuery))
        SendMessageA(GetParent(window), FADER_QUERYTRACKCOLOR, WPARAM(window), LPARAM(&trackColour));
    const PIXO_Rect track = faderTrackRect(g);
    HPEN pen = CreatePen(PS_SOLID, scaledStroke(1, g.scale), GetSysColor(COLOR_BTNHIGHLIGHT));
    HBRUSH brush = CreateSolidBrush(trackColour);
    HGDIOBJ previousPen = SelectObject(dc, pen);
    HGDIOBJ previousBrush = SelectObject(dc, brush);
    const int32_t corner = faderTrackCorner(g);
    RoundRect(dc, track.left, track.top, track.right, track.bottom, corner, corner);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

// The thumb image with its magenta pixels left out, stretched to the scaled thumb size.
void paintThumb(const FaderKind& kind, HDC dc, const FaderGeometry& g, const FaderModel& fader) {
    BITMAP size = {};
    HBITMAP image = thumbImage(kind, g.scale, &size);
    BITMAP source = {};
    HDC imageDc = image && GetObjectA(image, sizeof source, &source) ? CreateCompatibleDC(dc) : nullptr;
    if (!imageDc)
        return;
    const FaderRange range = fader.range();
    const int32_t stored = fader.stored();
    HGDIOBJ previous = SelectObject(imageDc, image);
    GdiTransparentBlt(dc, g.thumbX(range, stored), g.thumbY(range, stored), g.thumbWidth, g.thumbHeight, imageDc, 0,
                      0, source.bmWidth, source.bmHeight, kThumbKeyColour);
    SelectObject(imageDc, previous);
    DeleteDC(imageDc);
}

// ---------------------------------------------------------------------------------------------
// Message handlers

LRESULT onCreate(const FaderKind& kind, HWND window) {
    SetWindowLongA(window, FADER_WORD_DEFAULT_POSITION, -1);
    if (kind.vertical)
        SetWindowLongA(window, FADER_WORD_LEVEL_OVERLAY, 0);
    SetWindowLongA(window, FADER_WORD_RANGE, LONG(1000u << 16));
    return 0;
}

LRESULT onPaint(FaderKind& kind, HWND window) {
    PAINTSTRUCT paint;
    HDC paintDc = BeginPaint(window, &paint);
    const FaderModel fader = modelOf(kind, window);
    FaderGeometry g = geometryOf(kind, window, fader.scale);
    HDC dc = g.clientWidth > 0 && g.clientHeight > 0 ? prepareBackBuffer(kind.backBuffer, paintDc, g) : nullptr;
    if (dc) {
        paintBackground(window, dc, g);
        if (kind.vertical)
            paintLevelOverlay(dc, g, fader);
        if (!(fader.flags & kFaderNoDefaultLine))
            paintDefaultLine(dc, g, fader);
        paintTrack(window, dc, g, fader);
        paintThumb(kind, dc, g, fader);
        const RECT& area = paint.rcPaint;
        BitBlt(paintDc, area.left, area.top, area.right - area.left, area.bottom - area.top, dc, area.left,
               area.top, SRCCOPY);
    }
    EndPaint(window, &paint);
    return 0;
}

void report(const FaderKind& kind, HWND window, const FaderStep& step) {
    if (step.report != FaderReport::None)
        notifyParent(kind, window, step.report == FaderReport::End ? SB_ENDSCROLL : SB_THUMBTRACK);
}

LRESULT onMouseWheel(const FaderKind& kind, HWND window, WPARAM wParam) {
    FaderModel fader = modelOf(kind, window);
    const FaderStep step = wheelFader(fader, int16_t(HIWORD(wParam)), keyHeld(VK_CONTROL));
    storePosition(window, fader);
    invalidate(window);
    report(kind, window, step);
    KillTimer(window, WheelSettleTimer);
    SetTimer(window, WheelSettleTimer, kFaderSettleMs, nullptr);
    return -1;
}

LRESULT onKeyDown(HWND window, WPARAM key, LPARAM lParam) {
    if (key == VK_UP)
        SendMessageA(window, WM_MOUSEWHEEL, WPARAM(120) << 16, 0);
    else if (key == VK_DOWN)
        SendMessageA(window, WM_MOUSEWHEEL, WPARAM(int64_t(-120) * 65536), 0);
    else
        return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    return 0;
}

// The wheel's settle timer turns a burst of wheel or key steps into one final notification.
LRESULT onTimer(const FaderKind& kind, HWND window, WPARAM timerId) {
    if (timerId == WheelSettleTimer) {
        KillTimer(window, WheelSettleTimer);
        notifyParent(kind, window, SB_ENDSCROLL);
    }
    return 0;
}

// A press on the thumb grabs it where it was hit; one on the track line centres the thumb
// under the pointer; anything else belongs to the parent.
LRESULT onLButtonDown(FaderKind& kind, HWND window, WPARAM wParam, LPARAM lParam) {
    FaderModel fader = modelOf(kind, window);
    const FaderGeometry g = geometryOf(kind, window, fader.scale);
    const FaderPress press = pressFader(fader, g, kind.drag.gesture, alongOf(kind, lParam), acrossOf(kind, lParam));
    if (press == FaderPress::Parent)
        return SendMessageA(GetParent(window), WM_LBUTTONDOWN, wParam, lParam);
    if (press == FaderPress::Track) {
        storePosition(window, fader);
        invalidate(window);
    }
    SetFocus(window);
    SetCapture(window);
    kind.drag.window = window;
    return 0;
}

// Pointer moves and the release while the fader holds the capture. Ctrl moves one unit per
// pixel; Alt at the release puts back the position from button-down.
LRESULT onDrag(FaderKind& kind, HWND window, LPARAM lParam, bool release) {
    if (GetCapture() != window)
        return 0;
    KillTimer(window, WheelSettleTimer);
    FaderModel fader = modelOf(kind, window);
    const FaderGeometry g = geometryOf(kind, window, fader.scale);
    const int32_t along = alongOf(kind, lParam);
    const bool fine = keyHeld(VK_CONTROL);
    const FaderStep step = release ? releaseFader(fader, g, kind.drag.gesture, along, fine, keyHeld(VK_MENU))
                                   : dragFader(fader, g, kind.drag.gesture, along, fine);
    if (step.report != FaderReport::None) {
        storePosition(window, fader);
        report(kind, window, step);
        invalidate(window);
    }
    if (release) {
        kind.drag.window = nullptr;
        ReleaseCapture();
    }
    return 0;
}

// A drag that loses the capture before its release (another window took it) still ends the
// gesture, so the parent never waits for an SB_ENDSCROLL that cannot come.
LRESULT onCaptureChanged(FaderKind& kind, HWND window) {
    if (kind.drag.window == window) {
        kind.drag.window = nullptr;
        notifyParent(kind, window, SB_ENDSCROLL);
    }
    return 0;
}

// A window destroyed during its drag tells nobody: its parent is going too.
LRESULT onDestroy(FaderKind& kind, HWND window) {
    if (kind.drag.window == window)
        kind.drag.window = nullptr;
    return 0;
}

LRESULT onLButtonDblClk(const FaderKind& kind, HWND window) {
    ReleaseCapture();
    FaderModel fader = modelOf(kind, window);
    const FaderStep step = resetFaderToDefault(fader);
    storePosition(window, fader);
    report(kind, window, step);
    invalidate(window);
    return 0;
}

LRESULT onRButtonUp(HWND window) {
    SendMessageA(GetParent(window), WM_COMMAND, WPARAM(GetDlgCtrlID(window)), 0);
    return 0;
}

LRESULT onSetPos(const FaderKind& kind, HWND window, LPARAM position) {
    if (GetCapture() == window)
        return 0;
    FaderModel fader = modelOf(kind, window);
    if (fader.setPosition(position)) {
        storePosition(window, fader);
        invalidate(window);
    }
    return 0;
}

LRESULT onSetLevels(HWND window, LPARAM levels) {
    SetWindowLongA(window, FADER_WORD_LEVEL_OVERLAY, LONG(levels));
    invalidate(window);
    return 0;
}

LRESULT faderProc(FaderKind& kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == wheelRollMessage())
        return onMouseWheel(kind, window, WPARAM(uint16_t(wParam)) << 16);
    switch (message) {
    case WM_CREATE: return onCreate(kind, window);
    case WM_PAINT: return onPaint(kind, window);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN: return onKeyDown(window, wParam, lParam);
    case WM_TIMER: return onTimer(kind, window, wParam);
    case WM_LBUTTONDOWN: return onLButtonDown(kind, window, wParam, lParam);
    case WM_MOUSEMOVE: return onDrag(kind, window, lParam, false);
    case WM_LBUTTONUP: return onDrag(kind, window, lParam, true);
    case WM_LBUTTONDBLCLK: return onLButtonDblClk(kind, window);
    case WM_RBUTTONUP: return onRButtonUp(window);
    case WM_MOUSEWHEEL: return onMouseWheel(kind, window, wParam);
    case WM_CAPTURECHANGED: return onCaptureChanged(kind, window);
    case WM_DESTROY: return onDestroy(kind, window);
    case FADER_GETPOS: return modelOf(kind, window).position();
    case FADER_SETDEFAULT: SetWindowLongA(window, FADER_WORD_DEFAULT_POSITION, LONG(lParam)); return 0;
    case FADER_SETPOS: return onSetPos(kind, window, lParam);
    case FADER_SETRANGE: SetWindowLongA(window, FADER_WORD_RANGE, LONG(lParam)); return 0;
    case FADER_SETSCALE:
        SetWindowLongA(window, FADER_WORD_DPI, LONG(wParam));
        invalidate(window);
        return 0;
    case FADER_SETLEVELS:
        if (kind.vertical)
            return onSetLevels(window, lParam);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

LRESULT CALLBACK verticalFaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return faderProc(verticalKind, window, message, wParam, lParam);
}

LRESULT CALLBACK horizontalFaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return faderProc(horizontalKind, window, message, wParam, lParam);
}

FaderModel faderModelOf(HWND window, bool vertical) {
    FaderModel fader;
    fader.vertical = vertical;
    fader.packedRange = uint32_t(GetWindowLongA(window, FADER_WORD_RANGE));
    fader.storedPosition = GetWindowLongA(window, FADER_WORD_STORED_POSITION);
    fader.defaultPosition = GetWindowLongA(window, FADER_WORD_DEFAULT_POSITION);
    fader.levelOverlay = uint32_t(GetWindowLongA(window, FADER_WORD_LEVEL_OVERLAY));
    fader.flags = uint32_t(GetWindowLongA(window, FADER_WORD_FLAGS));
    // The scale the parent gave the fader (FADER_SETSCALE); 1 until it gives one.
    fader.scale = scaleOfDpi(GetWindowLongA(window, FADER_WORD_DPI));
    return fader;
}

void releaseFaderSurfaces() {
    releaseBackBuffer(verticalKind.backBuffer);
    releaseBackBuffer(horizontalKind.backBuffer);
    releasePlainFaderCaps();
}
