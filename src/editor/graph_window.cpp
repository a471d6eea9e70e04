#include "editor/graph_window.h"

#include "shell/compressor_effect.h"

LRESULT CALLBACK GraphWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND parent = GetParent(window);
    auto* effect =
        parent ? reinterpret_cast<CompressorEffect*>(GetWindowLongPtrA(parent, GWLP_USERDATA)) : nullptr;
    if (!effect)
        return DefWindowProcA(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

void deleteGraphFonts() {}
