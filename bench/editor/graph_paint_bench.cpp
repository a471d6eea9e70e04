// Time per paint of the response graph at the editor's size: the whole WM_PAINT (copy of the
// bands under the lock, drawing into the back buffer, BitBlt to the window) and the drawing
// alone, with four and sixteen bands, the grid on, and every band's meters moving between
// paints as the audio thread would move them; and what the spectrum analyzer and gain curve add
// to the drawing.
#include "support/windows_prelude.h"

#include "band_spread.h"
#include "editor/core/graph_bands.h"
#include "editor/core/graph_paint.h"
#include "editor/core/spectrum_analyzer.h"
#include "editor/editor_entry.h"
#include "editor/graph_window.h"
#include "editor/resource.h"
#include "raster/pixo.h"
#include "shell/compressor_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

double seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// 33 ms of noise through the instance, as the audio thread plays between two paints (it feeds
// the analyzer while the editor is open).
void playBetweenPaints(CompressorEffect& fx, uint32_t frame) {
    static std::vector<float> left(1470), right(1470), outLeft(1470), outRight(1470);
    uint32_t noise = 12345u + frame;
    for (size_t i = 0; i < left.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        left[i] = right[i] = float(int32_t(noise >> 8) - (1 << 23)) / float(1 << 24);
    }
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    fx.effect.processReplacing(&fx.effect, in, out, int32_t(left.size()));
}

// New meter values on every band, as a block of audio leaves them.
void moveMeters(CompressorEffect& fx, uint32_t frame) {
    if (fx.meteringWanted)
        playBetweenPaints(fx, frame);
    LockHolder hold(fx.lock);
    for (int32_t i = 0; i < fx.bandCount(); ++i) {
        BandState& st = fx.band(i)->state;
        double phase = 0.37 * frame + 1.3 * i;
        st.inputPeak = 0.5 + 0.45 * std::sin(phase);
        st.detectorPeak = st.inputPeak * 0.7;
        st.outputPeak = st.inputPeak * 0.5;
        st.gainMeter = 0.3 + 0.3 * (1.0 + std::cos(phase));
        if (fx.band(i)->settings.ratio < 1.0)
            st.gainMeter = 1.0 / st.gainMeter;
    }
}

struct Timing {
    double median, mean, best;
};

template <class Paint> Timing timePaints(CompressorEffect& fx, int32_t paints, Paint paint) {
    std::vector<double> times;
    times.reserve(size_t(paints));
    for (int32_t i = 0; i < paints; ++i) {
        moveMeters(fx, uint32_t(i));
        double start = seconds();
        paint();
        times.push_back(seconds() - start);
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    return {times[times.size() / 2], sum / double(times.size()), times.front()};
}

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main() {
    HINSTANCE module = GetModuleHandleA(nullptr);
    attachLibrary(module, &windowsEditorEntryPoints());
    AEffect* effect = VSTPluginMain(nullptr);
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx)
        return 1;

    WNDCLASSA parentClass = {};
    parentClass.lpfnWndProc = parentProc;
    parentClass.hInstance = module;
    parentClass.lpszClassName = "TarnwellBenchParent";
    RegisterClassA(&parentClass);
    // The graph's size in the editor: 310 dialog units wide in "MS Shell Dlg" 8 pt, 120 pixels
    // high with tabs shown and 370 without.
    const int32_t width = 465;
    HWND parent = CreateWindowExA(0, "TarnwellBenchParent", "bench", WS_POPUP | WS_VISIBLE, 0, 0, width, 370,
                                  nullptr, nullptr, module, nullptr);
    SetWindowLongPtrA(parent, GWLP_USERDATA, LONG_PTR(fx));
    HWND graph = CreateWindowExA(0, kGraphWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, width, 120, parent,
                                 HMENU(IDC_GRAPH), module, nullptr);
    if (!parent || !graph)
        return 1;

    PIXO_SysBitmap offscreen(width, 120);
    // The drawing alone, with band copies and fonts of its own as a second editor would have.
    GraphBandCopies copies;
    GraphPaintCache cache;
    const int32_t paints = 2000;
    std::printf("response graph paint, %d paints each, grid on, meters moving (microseconds per paint)\n", paints);
    std::printf("%-34s %9s %9s %9s\n", "", "median", "mean", "best");
    const struct {
        int32_t bands;
        bool tabs;
    } cases[] = {{4, true}, {16, true}, {16, false}};
    for (const auto& c : cases) {
        spreadBands(*fx, c.bands);
        fx->showGrid = 1;
        fx->showTabs = c.tabs ? 1 : 0;
        const int32_t height = c.tabs ? 120 : 370;
        SetWindowPos(graph, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        offscreen.setSize(width, height);
        char label[64];
        Timing whole = timePaints(*fx, paints, [&] {
            InvalidateRect(graph, nullptr, FALSE);
            UpdateWindow(graph);
        });
        std::snprintf(label, sizeof label, "%2d bands %dx%d, WM_PAINT", c.bands, width, height);
        std::printf("%-34s %9.1f %9.1f %9.1f\n", label, whole.median * 1e6, whole.mean * 1e6, whole.best * 1e6);
        GraphFrame frame;
        frame.now = GetTickCount();
        frame.pointerX = frame.pointerY = -100;
        // The drawing alone without the spectrum and gain curve, then with both (the analyzer
        // fed 33 ms of noise before every paint, as the audio thread feeds it).
        SpectrumAnalyzer analyzer;
        Timing bare = {}, music = {};
        for (bool on : {false, true}) {
            fx->meteringWanted = on;
            fx->showAnalyzer = on;
            fx->showGainCurve = on;
            frame.analyzer = on ? &analyzer : nullptr;
            const Timing drawing = timePaints(*fx, paints, [&] {
                frame.now += 33;
                renderGraph(*fx, copies, cache, offscreen, frame);
            });
            (on ? music : bare) = drawing;
            std::snprintf(label, sizeof label, "%2d bands %dx%d, drawing%s", c.bands, width, height,
                          on ? " + music" : " only");
            std::printf("%-34s %9.1f %9.1f %9.1f\n", label, drawing.median * 1e6, drawing.mean * 1e6,
                        drawing.best * 1e6);
        }
        std::printf("%-34s %9.1f %9.1f %9.1f   (goal: under 1000)\n", "  spectrum and gain curve add",
                    (music.median - bare.median) * 1e6, (music.mean - bare.mean) * 1e6, (music.best - bare.best) * 1e6);
        fx->meteringWanted = false;
        fx->showAnalyzer = fx->showGainCurve = 1;
    }
    DestroyWindow(parent);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
