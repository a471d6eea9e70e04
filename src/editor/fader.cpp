#include "editor/fader.h"

#include <algorithm>
#include <cstdint>

#include "editor/control_resources.h"
#include "editor/fader_cap.h"
#include "editor/core/ui_scale.h"
#include "shell/conversions.h"

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
    int32_t lastCoordinate = 0;
    // Pointer coordinate minus the thumb's leading edge at button-down.
    int32_t grabOffset = 0;
    int32_t positionAtButtonDown = 0;
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
constexpr UINT kWheelSettleMs = 500;

// The range as every computation reads it: max is at least min + 1.
struct Range {
    int32_t min;
    int32_t max;
    int32_t span() const { return max - min; }
    int32_t clamp(int64_t position) const { return int32_t(std::clamp<int64_t>(position, min, max)); }
};

Range rangeOf(HWND window) {
    uint32_t packed = uint32_t(GetWindowLongA(window, FADER_WORD_RANGE));
    int32_t min = int32_t(packed & 0xFFFF);
    int32_t max = int32_t(packed >> 16);
    return {min, min < max ? max : min + 1};
}

// The stored position, held inside the range: a range set after the position does not clamp
// the word, and a thumb outside the range would be drawn outside the window.
int32_t storedPosition(HWND window, const Range& range) {
    return range.clamp(GetWindowLongA(window, FADER_WORD_STORED_POSITION));
}

void setStoredPosition(HWND window, int32_t stored) {
    SetWindowLongA(window, FADER_WORD_STORED_POSITION, stored);
}

// The position the parent sees from a stored one, and the other way (the same mapping).
int32_t flipForView(const FaderKind& kind, const Range& range, int32_t position) {
    return kind.vertical ? range.min + range.max - position : position;
}

int32_t zeroDbPosition() {
    return int32_t(dbToFaderPos(0.0));
}

// The scale the parent gave the fader (FADER_SETSCALE); 1 until it gives one.
double scaleOf(HWND window) {
    return scaleOfDpi(GetWindowLongA(window, FADER_WORD_DPI));
}

// Sizes along the axis of travel ("along") and over it ("across"); the thumb is its image's
// size grown by the scale.
struct FaderGeometry {
    double scale;
    int32_t clientWidth, clientHeight;
    int32_t thumbWidth, thumbHeight;
    int32_t clientAlong, clientAcross;
    int32_t thumbAlong;
    // Client extent minus thumb extent along the axis; may be 0 or negative on tiny windows.
    int32_t travel;
    int32_t divisor() const { return travel != 0 ? travel : 1; }
};

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

FaderGeometry geometryOf(const FaderKind& kind, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    FaderGeometry g;
    g.scale = scaleOf(window);
    BITMAP thumb = {};
    thumbImage(kind, g.scale, &thumb);
    g.clientWidth = client.right;
    g.clientHeight = client.bottom;
    g.thumbWidth = scaledPixels(thumb.bmWidth, g.scale);
    g.thumbHeight = scaledPixels(thumb.bmHeight, g.scale);
    g.clientAlong = kind.vertical ? g.clientHeight : g.clientWidth;
    g.clientAcross = kind.vertical ? g.clientWidth : g.clientHeight;
    g.thumbAlong = kind.vertical ? g.thumbHeight : g.thumbWidth;
    g.travel = g.clientAlong - g.thumbAlong;
    return g;
}

// The thumb's leading edge (top, or left) for a stored position.
int32_t thumbStart(const FaderGeometry& g, const Range& range, int32_t stored) {
    return int32_t(int64_t(stored - range.min) * g.travel / range.span());
}

// The stored position that puts the thumb's leading edge at a coordinate.
int64_t positionAt(const FaderGeometry& g, const Range& range, int64_t leadingEdge) {
    return range.min + leadingEdge * range.span() / g.divisor();
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
void paintLevelOverlay(HWND window, HDC dc, const FaderGeometry& g) {
    uint32_t levels = uint32_t(GetWindowLongA(window, FADER_WORD_LEVEL_OVERLAY));
    if (levels == 0)
        return;
    int32_t barWidth = std::max(1, (g.clientWidth - g.thumbWidth) / 2);
    auto barTop = [&](int32_t level) {
        return g.thumbHeight / 2 + int32_t(int64_t(1000 - level) * (g.clientHeight - g.thumbHeight) / 1000);
    };
    RECT left = {0, barTop(int32_t(levels & 0xFFFF)), barWidth, g.clientHeight};
    RECT right = {g.clientWidth - barWidth, barTop(int32_t(levels >> 16)), g.clientWidth, g.clientHeight};
    fillSolid(dc, left, kLevelOverlayColour);
    fillSolid(dc, right, kLevelOverlayColour);
}

// A line where a double-click would put the thumb's centre, in the DC's current text colour
// (the parent's WM_CTLCOLORDLG answer chooses it).
void paintDefaultLine(const FaderKind& kind, HWND window, HDC dc, const FaderGeometry& g, const Range& range) {
    int32_t position = GetWindowLongA(window, FADER_WORD_DEFAULT_POSITION);
    if (position < 0)
        position = zeroDbPosition();
    HPEN pen = CreatePen(PS_SOLID, scaledStroke(1, g.scale), GetTextColor(dc));
    HGDIOBJ previousPen = SelectObject(dc, pen);
    if (kind.vertical) {
        int32_t y = int32_t(int64_t(g.clientHeight - g.thumbHeight) * (range.max - position) / range.span()) +
                    g.thumbHeight / 2 - 1;
        MoveToEx(dc, 2, y, nullptr);
        LineTo(dc, g.clientWidth - 2, y);
    } else {
        int32_t x = int32_t(int64_t(g.clientWidth - g.thumbWidth) * (position - range.min) / range.span()) +
                    g.thumbWidth / 2;
        MoveToEx(dc, x, 2, nullptr);
        LineTo(dc, x, g.clientHeight - 2);
    }
    SelectObject(dc, previousPen);
    DeleteObject(pen);
}

void paintTrack(const FaderKind& kind, HWND window, HDC dc, const FaderGeometry& g) {
    COLORREF trackColour = GetSysColor(COLOR_BTNSHADOW);
    if (!(GetWindowLongA(window, FADER_WORD_FLAGS) & FADER_NO_TRACK_COLOR_QUERY))
        SendMessageA(GetParent(window), FADER_QUERYTRACKCOLOR, WPARAM(window), LPARAM(&trackColour));
    RECT track;
    const int32_t trackWidth = scaledPixels(5, g.scale);
    if (kind.vertical) {
        track.left = (g.clientWidth - (trackWidth - 1)) / 2;
        track.right = track.left + trackWidth;
        track.top = g.thumbHeight / 3;
        track.bottom = g.clientHeight - g.thumbHeight / 3;
    } else {
        track.top = (g.clientHeight - (trackWidth - 1)) / 2;
        track.bottom = track.top + trackWidth;
        track.left = g.thumbWidth / 3;
        track.right = g.clientWidth - g.thumbWidth / 3;
    }
    HPEN pen = CreatePen(PS_SOLID, scaledStroke(1, g.scale), GetSysColor(COLOR_BTNHIGHLIGHT));
    HBRUSH brush = CreateSolidBrush(trackColour);
    HGDIOBJ previousPen = SelectObject(dc, pen);
    HGDIOBJ previousBrush = SelectObject(dc, brush);
    const int32_t corner = scaledPixels(2, g.scale);
    RoundRect(dc, track.left, track.top, track.right, track.bottom, corner, corner);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

// The thumb image with its magenta pixels left out, stretched to the scaled thumb size.
void paintThumb(const FaderKind& kind, HDC dc, const FaderGeometry& g, const Range& range, int32_t stored) {
    BITMAP size = {};
    HBITMAP image = thumbImage(kind, g.scale, &size);
    BITMAP source = {};
    HDC imageDc = image && GetObjectA(image, sizeof source, &source) ? CreateCompatibleDC(dc) : nullptr;
    if (!imageDc)
        return;
    int32_t x, y;
    if (kind.vertical) {
        x = (g.clientWidth - g.thumbWidth) / 2;
        y = thumbStart(g, range, stored);
    } else {
        x = thumbStart(g, range, stored);
        y = (g.clientHeight - g.thumbHeight) / 2;
    }
    HGDIOBJ previous = SelectObject(imageDc, image);
    GdiTransparentBlt(dc, x, y, g.thumbWidth, g.thumbHeight, imageDc, 0, 0, source.bmWidth, source.bmHeight,
                      kThumbKeyColour);
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
    FaderGeometry g = geometryOf(kind, window);
    HDC dc = g.clientWidth > 0 && g.clientHeight > 0 ? prepareBackBuffer(kind.backBuffer, paintDc, g) : nullptr;
    if (dc) {
        Range range = rangeOf(window);
        paintBackground(window, dc, g);
        if (kind.vertical)
            paintLevelOverlay(window, dc, g);
        if (!(GetWindowLongA(window, FADER_WORD_FLAGS) & FADER_NO_DEFAULT_LINE))
            paintDefaultLine(kind, window, dc, g, range);
        paintTrack(kind, window, dc, g);
        paintThumb(kind, dc, g, range, storedPosition(window, range));
        const RECT& area = paint.rcPaint;
        BitBlt(paintDc, area.left, area.top, area.right - area.left, area.bottom - area.top, dc, area.left,
               area.top, SRCCOPY);
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT onMouseWheel(const FaderKind& kind, HWND window, WPARAM wParam) {
    int32_t delta = int16_t(HIWORD(wParam));
    int32_t scaled = keyHeld(VK_CONTROL) ? delta : delta * 16;
    Range range = rangeOf(window);
    int64_t step = int64_t(range.span()) * scaled / 120000;
    if (step == 0)
        step = (delta > 0) - (delta < 0);
    int32_t stored = storedPosition(window, range);
    setStoredPosition(window, range.clamp(kind.vertical ? stored - step : stored + step));
    invalidate(window);
    notifyParent(kind, window, SB_THUMBTRACK);
    KillTimer(window, WheelSettleTimer);
    SetTimer(window, WheelSettleTimer, kWheelSettleMs, nullptr);
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

// Whether a click beside the thumb lands on the track line (within 2 pixels of its centre at
// 96 dpi).
bool onTrackLine(const FaderGeometry& g, int32_t along, int32_t across) {
    int32_t offCentre = across - g.clientAcross / 2;
    const int32_t reach = scaledPixels(2, g.scale);
    return offCentre >= -reach && offCentre <= reach && along >= g.thumbAlong / 3 &&
           along <= g.clientAlong - g.thumbAlong / 3;
}

// A press on the thumb grabs it where it was hit; one on the track line centres the thumb
// under the pointer; anything else belongs to the parent.
LRESULT onLButtonDown(FaderKind& kind, HWND window, WPARAM wParam, LPARAM lParam) {
    FaderGeometry g = geometryOf(kind, window);
    Range range = rangeOf(window);
    int32_t stored = storedPosition(window, range);
    int32_t along = alongOf(kind, lParam);
    DragRecord& drag = kind.drag;
    drag.lastCoordinate = along;
    drag.positionAtButtonDown = stored;
    drag.grabOffset = along - thumbStart(g, range, stored);
    if (drag.grabOffset < 0 || drag.grabOffset >= g.thumbAlong) {
        if (!onTrackLine(g, along, acrossOf(kind, lParam)))
            return SendMessageA(GetParent(window), WM_LBUTTONDOWN, wParam, lParam);
        drag.grabOffset = g.thumbAlong / 2;
        setStoredPosition(window, range.clamp(positionAt(g, range, along - g.thumbAlong / 2)));
        invalidate(window);
    }
    SetFocus(window);
    SetCapture(window);
    drag.window = window;
    return 0;
}

// Pointer moves and the release while the fader holds the capture. Ctrl moves one unit per
// pixel; Alt at the release puts back the position from button-down.
LRESULT onDrag(FaderKind& kind, HWND window, LPARAM lParam, bool release) {
    if (GetCapture() != window)
        return 0;
    KillTimer(window, WheelSettleTimer);
    FaderGeometry g = geometryOf(kind, window);
    Range range = rangeOf(window);
    int32_t stored = storedPosition(window, range);
    int32_t along = alongOf(kind, lParam);
    DragRecord& drag = kind.drag;
    int32_t candidate = keyHeld(VK_CONTROL) ? range.clamp(int64_t(stored) + along - drag.lastCoordinate)
                                            : range.clamp(positionAt(g, range, int64_t(along) - drag.grabOffset));
    if (candidate != stored || release) {
        if (along == drag.lastCoordinate)
            candidate = stored;
        if (release && keyHeld(VK_MENU))
            candidate = drag.positionAtButtonDown;
        setStoredPosition(window, candidate);
        notifyParent(kind, window, release ? SB_ENDSCROLL : SB_THUMBTRACK);
        invalidate(window);
    }
    drag.lastCoordinate = along;
    if (release) {
        drag.window = nullptr;
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
    int32_t position = GetWindowLongA(window, FADER_WORD_DEFAULT_POSITION);
    if (position < 0)
        position = zeroDbPosition();
    setStoredPosition(window, flipForView(kind, rangeOf(window), position));
    notifyParent(kind, window, SB_ENDSCROLL);
    invalidate(window);
    return 0;
}

LRESULT onRButtonUp(HWND window) {
    SendMessageA(GetParent(window), WM_COMMAND, WPARAM(GetDlgCtrlID(window)), 0);
    return 0;
}

LRESULT onGetPos(const FaderKind& kind, HWND window) {
    Range range = rangeOf(window);
    return flipForView(kind, range, storedPosition(window, range));
}

LRESULT onSetPos(const FaderKind& kind, HWND window, LPARAM position) {
    if (GetCapture() == window)
        return 0;
    Range range = rangeOf(window);
    int32_t stored = flipForView(kind, range, range.clamp(position));
    if (stored != GetWindowLongA(window, FADER_WORD_STORED_POSITION)) {
        setStoredPosition(window, stored);
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
    case FADER_GETPOS: return onGetPos(kind, window);
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

void releaseFaderSurfaces() {
    releaseBackBuffer(verticalKind.backBuffer);
    releaseBackBuffer(horizontalKind.backBuffer);
    releasePlainFaderCaps();
}
