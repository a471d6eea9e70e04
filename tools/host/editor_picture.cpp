#include "host/editor_picture.h"

#include "support/windows_prelude.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

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
    return CreateWindowExA(WS_EX_TOPMOST, kHostWindowClass, "Tarnwell", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 400, 300,
                           nullptr, nullptr, module, nullptr);
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

// The window's client area as the screen shows it, as rows of RGB bytes.
bool readWindowPixels(HWND window, int& width, int& height, std::vector<uint8_t>& rgb) {
    RECT client;
    GetClientRect(window, &client);
    width = client.right;
    height = client.bottom;
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool read = false;
    if (memoryDc && bitmap && bits) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        read = BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        const auto* words = static_cast<const uint32_t*>(bits);
        rgb.resize(size_t(width) * size_t(height) * 3);
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
            rgb[i * 3] = uint8_t(words[i] >> 16);
            rgb[i * 3 + 1] = uint8_t(words[i] >> 8);
            rgb[i * 3 + 2] = uint8_t(words[i]);
        }
        SelectObject(memoryDc, previous);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memoryDc)
        DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return read;
}

} // namespace

bool writeEditorPicture(PluginSession& session, const std::vector<float>& left, const std::vector<float>& right,
                        double sampleRate, int settleMs, const std::string& path, std::string& error) {
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
    std::thread audio(playInLoop, session.effect(), std::cref(left), std::cref(right), sampleRate, std::cref(stop));

    bool written = false;
    if (session.dispatch(effEditOpen, 0, 0, host, 0.0f)) {
        ERect* size = nullptr;
        session.dispatch(effEditGetRect, 0, 0, &size, 0.0f);
        if (size)
            SetWindowPos(host, nullptr, 0, 0, size->right - size->left, size->bottom - size->top,
                         SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(host, SW_SHOWNOACTIVATE);
        pumpFor(settleMs);
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        if (!readWindowPixels(host, width, height, rgb))
            error = "could not read the editor window back";
        else if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3))
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
