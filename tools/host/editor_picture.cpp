#include "host/editor_picture.h"

#include "host/audio_thread.h"
#include "host/picture.h"
#include "support/windows_prelude.h"

namespace {

constexpr const char* kHostWindowClass = "TarnwellHostWindow";

HWND createHostWindow() {
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kHostWindowClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(WS_EX_TOPMOST, kHostWindowClass, "Tarnwell", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 400,
                           300, nullptr, nullptr, module, nullptr);
}

void pumpFor(int milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < DWORD(milliseconds)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

} // namespace

bool writeEditorPicture(PluginSession& session, const std::vector<float>& left,
                        const std::vector<float>& right, double sampleRate, int settleMs,
                        const std::string& path, std::string& error) {
    if (left.size() < size_t(AudioThread::kBlockFrames) || right.size() != left.size()) {
        error = "the signal for the editor picture is too short";
        return false;
    }
    HWND host = createHostWindow();
    if (!host) {
        error = "no host window for the editor";
        return false;
    }
    session.start(sampleRate);
    AudioThread audio(session.effect(), left, right, sampleRate);
    audio.start();

    bool written = false;
    if (session.dispatch(effEditOpen, 0, 0, host, 0.0f)) {
        ERect* size = nullptr;
        session.dispatch(effEditGetRect, 0, 0, &size, 0.0f);
        if (size)
            SetWindowPos(host, nullptr, 0, 0, size->right - size->left, size->bottom - size->top,
                         SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(host, SW_SHOWNOACTIVATE);
        pumpFor(settleMs);
        const Picture picture = captureWindow(host);
        if (picture.width == 0)
            error = "could not read the editor window back";
        else if (!picture.savePng(path))
            error = "cannot write " + path;
        else
            written = true;
        session.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    } else {
        error = "the plug-in opened no editor";
    }
    audio.stop();
    session.stop();
    DestroyWindow(host);
    return written;
}
