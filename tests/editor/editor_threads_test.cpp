// The editor while the host works on other threads: audio processed on a second thread and
// state blocks loaded on a third while the editor is open, edited, closed and opened again;
// and many open/close cycles without a leaked window or GDI object.
#include "editor_host.h"

#include "editor/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace editortest {
namespace {

// The host's audio thread: a loud stereo signal in small blocks.
class AudioThread {
public:
    explicit AudioThread(AEffect* effect)
        : thread_([this, effect] {
              const int n = 256;
              std::vector<float> left(n), right(n);
              float* channels[2] = {left.data(), right.data()};
              uint32_t phase = 0;
              while (!stop_) {
                  for (int i = 0; i < n; ++i, ++phase) {
                      left[size_t(i)] = float(0.7 * std::sin(phase * 0.02));
                      right[size_t(i)] = float(0.5 * std::sin(phase * 0.13));
                  }
                  effect->processReplacing(effect, channels, channels, n);
                  for (int i = 0; i < n; ++i)
                      if (!std::isfinite(left[size_t(i)]))
                          nonFinite = true;
                  ++blocks;
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          }) {}
    ~AudioThread() {
        stop_ = true;
        thread_.join();
    }
    std::atomic<long> blocks{0};
    std::atomic<bool> nonFinite{false};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int32_t differingPixels(const WindowPixels& a, const WindowPixels& b) {
    if (a.words.size() != b.words.size())
        return int32_t(a.words.size() + b.words.size());
    int32_t count = 0;
    for (size_t i = 0; i < a.words.size(); ++i)
        count += a.words[i] != b.words[i];
    return count;
}

void clickButton(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

TEST(EditorThreads, AudioAndStateLoadsWhileTheEditorWorks) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    ASSERT_TRUE(host.openEditor());
    // Two states to load: six bands, and three bands soloing the second.
    clickButton(host.editor(), IDC_ADD_BAND);
    clickButton(host.editor(), IDC_ADD_BAND);
    const std::vector<uint8_t> sixBands = host.stateBlock();
    clickButton(host.editor(), IDC_RESET_DEFAULTS);
    clickButton(host.editor(), IDC_DELETE_BAND);
    SendDlgItemMessageA(host.editor(), IDC_BAND_TABS, TCM_SETCURSEL, 1, 0);
    clickButton(host.editor(), IDC_SOLO_BAND);
    const std::vector<uint8_t> threeBands = host.stateBlock();
    ASSERT_EQ(host.state().bandCount, 3);
    clickButton(host.editor(), IDC_SOLO_BAND);

    HWND meter = GetDlgItem(host.editor(), IDC_INPUT_METER);
    pumpFor(300);
    const WindowPixels silent = readWindow(meter);

    AudioThread audio(host.effect);
    ASSERT_TRUE(pumpUntil([&] { return differingPixels(silent, readWindow(meter)) > 100; }))
        << "the input meter does not move with the audio";

    std::atomic<bool> stopLoading{false};
    std::atomic<long> loads{0};
    std::thread loader([&] {
        while (!stopLoading) {
            host.loadState(loads % 2 ? sixBands : threeBands);
            ++loads;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });

    const char* thresholds[] = {"-12", "-30", "3", "-200"};
    for (int round = 0; round < 12; ++round) {
        HWND main = host.editor();
        ASSERT_NE(main, nullptr);
        HWND panel = host.panel();
        SetDlgItemTextA(panel, IDC_THRESHOLD_EDIT, thresholds[round % 4]);
        SetDlgItemTextA(main, IDC_OUTPUT_GAIN_EDIT, round % 2 ? "-3" : "2");
        clickButton(main, IDC_ADD_BAND);
        pumpFor(20);
        clickButton(main, IDC_DELETE_BAND);
        SendDlgItemMessageA(main, IDC_BAND_TABS, TCM_SETCURSEL, WPARAM(round % 3), 0);
        NMHDR change = {GetDlgItem(main, IDC_BAND_TABS), IDC_BAND_TABS, UINT(TCN_SELCHANGE)};
        SendMessageA(main, WM_NOTIFY, IDC_BAND_TABS, reinterpret_cast<LPARAM>(&change));
        clickButton(panel, IDC_ACTIVE);
        clickButton(main, IDC_SHOW_TABS);
        pumpFor(120);
        if (round % 4 == 3) {
            host.closeEditor();
            pumpFor(30);
            ASSERT_TRUE(host.openEditor());
        }
    }
    // The loaded states keep arriving at the open editor: its tabs follow one of them.
    const int32_t tabs = int32_t(SendDlgItemMessageA(host.editor(), IDC_BAND_TABS, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_TRUE(tabs == 3 || tabs == 6 || tabs == 4 || tabs == 7) << tabs;
    stopLoading = true;
    loader.join();
    EXPECT_GT(loads.load(), 50);

    const long before = audio.blocks;
    pumpFor(300);
    EXPECT_GT(audio.blocks.load(), before);
    EXPECT_FALSE(audio.nonFinite.load());
    host.closeEditor();
    EXPECT_GT(audio.blocks.load(), 0);
}

// Wine answers GetGuiResources with 0: there the live handles are counted by probing every
// handle number (a handle whose upper word is 0 names the table entry of any generation).
int32_t liveGdiObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return int32_t(count);
    int32_t count = 0;
    for (uintptr_t handle = 1; handle < 0x10000; ++handle)
        count += GetObjectType(reinterpret_cast<HGDIOBJ>(handle)) != 0;
    return count;
}

int32_t liveUserObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS))
        return int32_t(count);
    int32_t count = 0;
    for (uintptr_t handle = 0x20; handle < 0x10000; handle += 2)
        count += IsWindow(reinterpret_cast<HWND>(handle)) || IsMenu(reinterpret_cast<HMENU>(handle));
    return count;
}

TEST(EditorThreads, OpenCloseCyclesLeakNothing) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    AudioThread audio(host.effect);
    // The first editor makes what lives on (the faders' shared back buffers, the common controls).
    ASSERT_TRUE(host.openEditor());
    pumpFor(100);
    host.closeEditor();
    const int32_t gdiBefore = liveGdiObjects();
    const int32_t userBefore = liveUserObjects();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_TRUE(host.openEditor()) << cycle;
        pumpFor(cycle % 20 == 0 ? 80 : 5);
        host.closeEditor();
    }
    pumpFor(100);
    // A leak of one object per cycle would show as 200; a few come and go with Wine's caches.
    EXPECT_LE(liveGdiObjects(), gdiBefore + 5);
    EXPECT_LE(liveUserObjects(), userBefore + 5);
    EXPECT_GT(gdiBefore, 0);
    EXPECT_GT(userBefore, 0);
}

} // namespace
} // namespace editortest
