#include "editor/graph_window.h"

#include "editor/control_resources.h"
#include "editor/editor_state.h"
#include "editor/graph_input.h"
#include "editor/graph_paint.h"
#include "shell/compressor_effect.h"

namespace {

int32_t signedLow(LPARAM value) { return int16_t(LOWORD(value)); }
int32_t signedHigh(LPARAM value) { return int16_t(HIWORD(value)); }

LRESULT onWheel(HWND window, CompressorEffect& fx, WPARAM wParam, LPARAM lParam) {
    POINT screen = {signedLow(lParam), signedHigh(lParam)};
    onMouseWheel(window, fx, int16_t(HIWORD(wParam)), screen);
    return 0;
}

} // namespace

void registerGraphClass(HINSTANCE module) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = graphWindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kGraphWindowClass;
    RegisterClassA(&windowClass);
}

void unregisterGraphClass(HINSTANCE module) { UnregisterClassA(kGraphWindowClass, module); }

LRESULT CALLBACK graphWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND parent = GetParent(window);
    auto* fx = parent ? reinterpret_cast<CompressorEffect*>(GetWindowLongPtrA(parent, GWLP_USERDATA)) : nullptr;
    // The handlers keep the gesture in the instance's editor state.
    if (!fx || !editorStateOf(*fx))
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        paintGraph(window, *fx);
        return 0;
    case WM_SETCURSOR:
        onSetCursor(window, *fx);
        return 1;
    case WM_MOUSEMOVE:
        onMouseMove(window, *fx, signedLow(lParam), signedHigh(lParam));
        break;
    case WM_LBUTTONDOWN:
        onLeftButtonDown(window, *fx, signedLow(lParam), signedHigh(lParam));
        break;
    case WM_LBUTTONUP:
        onLeftButtonUp(window, *fx);
        break;
    case WM_RBUTTONDOWN:
        onRightButtonDown(window, *fx, signedLow(lParam), signedHigh(lParam));
        break;
    case WM_MOUSEWHEEL:
        return onWheel(window, *fx, wParam, lParam);
    default:
        if (const UINT roll = wheelRollMessage(); roll != 0 && message == roll)
            return onWheel(window, *fx, wParam << 16, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
