#include "host/editor_picture.h"

#include "host/picture.h"
#include "support/windows_prelude.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

constexpr const char* kHostWindowClass = "TarnwellHostWindow";
constexpr int kBlockFrames = 512;

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

// The host's audio thread: blocks of the signal at the pace a sound card would ask for them.
void playInLoop(AEffect* effect, const std::vector<float>& left, const std::vector<float>& right,
                double sampleRate, const std::atomic<bool>& stop) {
    std::vector<float> outLeft(kBlockFrames), outRight(kBlockFrames);
    const auto blockTime = std::chrono::microseconds(int64_t(kBlockFrames * 1e6 / sampleRate));
    auto due = std::chrono::steady_clock::now();
    size_t at = 0;
    while (!stop.load()) {
        if (at + kBlockFrames > left.size())
            at = 0;
        float* inputs[2] = {const_cast<float*>(left.data() + at), const_cast<float*>(right.data() + at)};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, kBlockFrames);
        at += kBlockFrames;
        due += blockTime;
        std::this_thread::sleep_until(due);
    }
}

} // namespace

bool writeEditorPicture(PluginSession& session, const std::vector<float>& left,
                        const std::vector<float>& right, double sampleRate, int settleMs,
                        const std::string& path, std::string& error) {
    if (left.size() < size_t(kBlockFrames) || right.size() != left.size()) {
        error = "the signal for the editor picture is too short";
        return false;
    }
    HWND host = createHostWindow();
    if (!host) {
        error = "no host window for the editor";
        return false;
    }
    session.start(sampleRate);
    std::atomic<bool> stop{false};
    std::thread audio(playInLoop, session.effect(), std::cref(left), std::cref(right), sampleRate,
                      std::cref(stop));

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
    stop = true;
    audio.join();
    session.stop();
    DestroyWindow(host);
    return written;
}
