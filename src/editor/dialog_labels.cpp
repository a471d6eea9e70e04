#include "editor/dialog_labels.h"

#include <cstring>

namespace {

constexpr int kLabelId = -1;

void fitLabel(HWND dialog, HWND label, HDC dc) {
    char text[256];
    const int length = GetWindowTextA(label, text, int(sizeof(text)));
    SIZE extent;
    RECT box;
    if (length <= 0 || !GetTextExtentPoint32A(dc, text, length, &extent) || !GetWindowRect(label, &box))
        return;
    const LONG missing = extent.cx - (box.right - box.left);
    if (missing <= 0)
        return;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    const LONG left = box.left - missing > 0 ? box.left - missing : 0;
    SetWindowPos(label, nullptr, left, box.top, box.right - left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void fitLabelsToText(HWND dialog) {
    HDC dc = GetDC(dialog);
    if (!dc)
        return;
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    char className[16];
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == kLabelId && GetClassNameA(child, className, int(sizeof(className))) &&
            !std::strcmp(className, "Static"))
            fitLabel(dialog, child, dc);
    }
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);
}
