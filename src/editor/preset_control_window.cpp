#include "editor/preset_control_window.h"

#include "editor/core/preset_control.h"
#include "editor/core/ui_scale.h"
#include "editor/resource.h"

#include <new>

namespace {

struct PresetControlState {
    PresetControlPainter painter;
    PIXO_SysBitmap frame;
    bool pressed = false;
};

PresetControlState* stateOf(HWND window) {
    return reinterpret_cast<PresetControlState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

std::wstring windowText(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

LRESULT onPaint(HWND window, PresetControlState& state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    // setSize answers whether the size changed, not whether the frame is usable.
    state.frame.setSize(client.right, client.bottom);
    if (dc && client.right > 0 && client.bottom > 0 && state.frame.pixels() && state.frame.width() == client.right &&
        state.frame.height() == client.bottom) {
        state.painter.draw(state.frame, 0, 0, client.right, client.bottom, utf8OfWide(windowText(window)),
                           state.pressed);
        BitBlt(dc, 0, 0, client.right, client.bottom, state.frame.deviceContext(), 0, 0, SRCCOPY);
    }
    EndPaint(window, &paint);
    return 0;
}

void tellParent(HWND window) {
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED), LPARAM(window));
}

} // namespace

LRESULT CALLBACK presetControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(new (std::nothrow) PresetControlState));
        return stateOf(window) ? 0 : -1;
    }
    PresetControlState* state = stateOf(window);
    if (!state)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete state;
        return 0;
    case WM_PAINT:
        return onPaint(window, *state);
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole control
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, FALSE);
        return result;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(window);
        tellParent(window);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_BUTTON;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            tellParent(window);
            return 0;
        }
        break;
    case PRESET_SETPRESSED:
        if (state->pressed != (wParam != 0)) {
            state->pressed = wParam != 0;
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case PRESET_SETSCALE:
        state->painter.setScale(scaleOfDpi(int32_t(wParam)));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring wideOfUtf8(const std::string& text) {
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string utf8OfWide(const std::wstring& text) {
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}
