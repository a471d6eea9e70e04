// The thin procedure in front of each editor dialog: at WM_INITDIALOG it attaches the instance
// passed as the creation parameter to the window (GWLP_USERDATA, where the response graph looks
// for it too) and from then on hands every message to the dialog's own procedure. Before an
// instance is attached it answers only the UI-state messages, with result 0.
#pragma once

#include "shell/compressor_effect.h"
#include "support/windows_prelude.h"

using InstanceDialogProcedure = INT_PTR (*)(HWND window, CompressorEffect& fx, UINT message, WPARAM wParam,
                                            LPARAM lParam);

// The instance an editor dialog belongs to; null before its WM_INITDIALOG.
inline CompressorEffect* instanceOfDialog(HWND window) {
    return reinterpret_cast<CompressorEffect*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

template <InstanceDialogProcedure procedure>
INT_PTR CALLBACK instanceDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    if (CompressorEffect* fx = instanceOfDialog(window))
        return procedure(window, *fx, message, wParam, lParam);
    if (message == WM_CHANGEUISTATE || message == WM_UPDATEUISTATE || message == WM_QUERYUISTATE) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}
