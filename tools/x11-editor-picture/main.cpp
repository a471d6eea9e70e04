// x11-editor-picture OUTPUT.png [--scale S] [--signal SECONDS] [--demo SECONDS] [--compress 1]
// [--menu MENU.png] [--preset NAME] [--preset-menu 1]: paints the Linux editor of a fresh instance into a back buffer as its view
// would, without any X display, and writes it as PNG. With --signal the instance first plays that
// much of a drum-like test signal, with --demo that much of the demo piece (tarnwell-demo-signal's),
// the editor ticking every 33 ms of it, so that the meters, the spectrum and the gain curve have
// something to show; --compress
// first sets every band to -30 dB at 4:1 without makeup (as the Windows picture's run does);
// --menu also writes the graph's context menu as it opens on a handle; --preset loads a factory
// or user preset first (after --compress); --preset-menu 1 writes the
// editor with the preset control's menu open below the control (the user's presets as
// $XDG_CONFIG_HOME has them) in place of the plain editor; --repaints N then paints
// the whole editor N more times, then N meter ticks with their paints (graph and meters only),
// and prints the mean time of each.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "editor/x11/x11_editor.h"
#include "editor/core/meter_render.h"
#include "engine/band_control.h"
#include "engine/decibels.h"
#include "raster/pixo.h"
#include "render/demo_signal.h"
#include "shell/compressor_effect.h"
#include "shell/preset_library.h"

namespace {

constexpr double kRate = 44100;

// A decaying 60 Hz thump every half second over a quiet 3 kHz tone.
void thumps(std::vector<float>& left, std::vector<float>& right, double seconds) {
    const int64_t frames = int64_t(seconds * kRate);
    left.resize(size_t(frames));
    right.resize(size_t(frames));
    for (int64_t i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        const double beat = std::fmod(t, 0.5);
        const float value =
            float(0.8 * std::exp(-beat * 12) * std::sin(2 * M_PI * 60 * t) + 0.05 * std::sin(2 * M_PI * 3000 * t));
        left[size_t(i)] = value;
        right[size_t(i)] = value * 0.9f;
    }
}

// Plays the signal through the instance in host blocks. Over its last second and a half the
// editor's meter timer fires and the editor paints after every 33 ms of it, at the pace of real
// time, so that its analyzer's levels rise and fall as they would in a host.
void play(CompressorEffect& fx, X11Editor& editor, PIXO_IBitmap& bitmap, const std::vector<float>& left,
          const std::vector<float>& right) {
    constexpr int32_t kBlock = 512;
    fx.effect.dispatcher(&fx.effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
    fx.effect.dispatcher(&fx.effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    const int64_t tick = int64_t(kRate * 0.033);
    int64_t nextTick = std::max<int64_t>(int64_t(left.size()) - int64_t(kRate * 1.5), tick);
    auto due = std::chrono::steady_clock::now();
    for (int64_t start = 0; start + kBlock <= int64_t(left.size()); start += kBlock) {
        float* inputs[2] = {const_cast<float*>(left.data() + start), const_cast<float*>(right.data() + start)};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        fx.process(inputs, outputs, kBlock);
        if (start + kBlock >= nextTick) {
            nextTick += tick;
            std::this_thread::sleep_until(due);
            due = std::chrono::steady_clock::now() + std::chrono::milliseconds(33);
            editor.onTimer(X11Editor::kMeterTimer);
            editor.paintAll(bitmap);
        }
    }
}

bool writePicture(PIXO_IBitmap& bitmap, const char* path) {
    std::vector<uint8_t> rgba(size_t(bitmap.width()) * size_t(bitmap.height()) * 4);
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x) {
            const uint32_t p = bitmap.pixels()[size_t(y) * size_t(bitmap.rowSpan()) + size_t(x)];
            uint8_t* o = &rgba[(size_t(y) * size_t(bitmap.width()) + size_t(x)) * 4];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p), o[3] = 255;
        }
    return stbi_write_png(path, bitmap.width(), bitmap.height(), 4, rgba.data(), bitmap.width() * 4) != 0;
}

class NoMenuOwner : public PopupMenuOwner {
    void onMenuCommand(int32_t) override {}
};

// The editor with its preset menu open: the control pressed, the menu below it (a second item
// lit, as under the pointer), the bitmap grown where the menu reaches past the window.
bool paintPresetMenu(X11Editor& editor, PIXO_MemBitmap& bitmap) {
    int32_t x = 0, y = 0;
    X11PopupMenu& menu = editor.presetMenu(x, y);
    const int32_t width = menu.width(), height = menu.height();
    // The control shows itself pressed while its menu is open.
    PIXO_MemBitmap window;
    if (!window.setSize(editor.width(), editor.height()))
        return false;
    editor.paintAll(window);
    PIXO_MemBitmap popup;
    if (!popup.setSize(width, height))
        return false;
    menu.onKeyDown({XK_Down, 0, {}});
    menu.onKeyDown({XK_Down, 0, {}});
    menu.onPaint(popup);
    const int32_t fullWidth = std::max(editor.width(), x + width), fullHeight = std::max(editor.height(), y + height);
    if (!bitmap.setSize(fullWidth, fullHeight))
        return false;
    PIXO_PaintRect(&bitmap, 0, 0, fullWidth, fullHeight, 0xFF303030, 1.0f, PIXO_BLEND_COPY);
    copyClipped(bitmap, 0, 0, window, 0, 0, editor.width(), editor.height());
    copyClipped(bitmap, x, y, popup, 0, 0, width, height);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: x11-editor-picture OUTPUT.png [--scale S] [--signal SECONDS]\n");
        return 2;
    }
    double scale = 1.0, seconds = 0, demoSeconds = 0;
    bool compress = false, presetMenu = false;
    int repaints = 0;
    const char* menuPath = nullptr;
    const char* presetName = nullptr;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--scale"))
            scale = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--signal"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--demo"))
            demoSeconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--compress"))
            compress = std::atoi(argv[i + 1]) != 0;
        else if (!std::strcmp(argv[i], "--repaints"))
            repaints = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--preset"))
            presetName = argv[i + 1];
        else if (!std::strcmp(argv[i], "--preset-menu"))
            presetMenu = std::atoi(argv[i + 1]) != 0;
        else if (!std::strcmp(argv[i], "--menu"))
            menuPath = argv[i + 1];
    }
    AEffect* effect = VSTPluginMain(nullptr);
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx)
        return 1;
    if (compress)
        for (int32_t band = 0; band < fx->viewBandCount(); ++band) {
            fx->changeSetting(band, kSettingThreshold, dbToAmp(-30));
            fx->changeSetting(band, kSettingRatio, 4);
            fx->changeSetting(band, kSettingAutoMakeup, 0);
        }
    std::string error;
    if (presetName && !loadPreset(*fx, PresetLibrary(userPresetFolder()), presetName, error)) {
        std::fprintf(stderr, "x11-editor-picture: %s\n", error.c_str());
        return 1;
    }
    int result = 1;
    if (menuPath) {
        WidgetText text(scale);
        NoMenuOwner owner;
        X11PopupMenu menu(text, scale, owner);
        menu.setItems(graphPopupItems(*fx, true));
        PIXO_MemBitmap bitmap;
        bitmap.setSize(menu.width(), menu.height());
        menu.onKeyDown({XK_Down, 0, {}});
        menu.onPaint(bitmap);
        writePicture(bitmap, menuPath);
    }
    {
        X11Editor editor(*fx, scale);
        PIXO_MemBitmap bitmap;
        if (bitmap.setSize(editor.width(), editor.height())) {
            std::vector<float> left, right;
            if (demoSeconds > 0)
                synthesizeDemo(left, right, demoSeconds, kRate);
            else if (seconds > 0)
                thumps(left, right, seconds);
            if (!left.empty())
                play(*fx, editor, bitmap, left, right);
            editor.paintAll(bitmap);
            if (presetMenu)
                result = paintPresetMenu(editor, bitmap) ? 0 : 1;
            if (result == 0 || !presetMenu)
                result = writePicture(bitmap, argv[1]) ? 0 : 1;
            if (repaints > 0) {
                auto start = std::chrono::steady_clock::now();
                for (int i = 0; i < repaints; ++i)
                    editor.paintAll(bitmap);
                const std::chrono::duration<double, std::milli> whole = std::chrono::steady_clock::now() - start;
                // A meter tick's paint: the graph and the meters over the rest.
                start = std::chrono::steady_clock::now();
                for (int i = 0; i < repaints; ++i) {
                    editor.onTimer(X11Editor::kMeterTimer);
                    editor.onPaint(bitmap);
                }
                const std::chrono::duration<double, std::milli> tick = std::chrono::steady_clock::now() - start;
                std::printf("whole repaint: %.3f ms, meter tick and its paint: %.3f ms (means of %d)\n",
                            whole.count() / repaints, tick.count() / repaints, repaints);
            }
        }
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return result;
}
