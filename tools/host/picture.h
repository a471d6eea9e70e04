// Picture: a window's client area read back as the screen shows it (children included),
// as 0x00RRGGBB words with the top row first, and written out as PNG or BMP files. Used by the
// editor picture of tarnwell-host, the controls gallery and the editor tests; the read-back
// here is the Windows one (the X11 host reads its window with XGetImage).
#pragma once

#ifdef _WIN32
#include "support/windows_prelude.h"
#endif

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;

    Picture() = default;
    Picture(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w) * size_t(h)) {}
    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t& at(int32_t x, int32_t y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    // Each pixel becomes zoom x zoom pixels of the file. False when the file cannot be written.
    bool savePng(const std::string& path, int32_t zoom = 1) const;
    bool saveBmp(const std::string& path) const;
};

#ifdef _WIN32
// Empty (0 x 0) when the window has no client area or the read fails.
Picture captureWindow(HWND window);
#endif
