#include "host/picture.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace {

std::vector<uint8_t> rgbBytes(const Picture& picture, int32_t zoom) {
    std::vector<uint8_t> rgb;
    rgb.reserve(picture.pixels.size() * 3 * size_t(zoom) * size_t(zoom));
    for (int32_t y = 0; y < picture.height * zoom; ++y)
        for (int32_t x = 0; x < picture.width * zoom; ++x) {
            const uint32_t word = picture.at(x / zoom, y / zoom);
            rgb.push_back(uint8_t(word >> 16));
            rgb.push_back(uint8_t(word >> 8));
            rgb.push_back(uint8_t(word));
        }
    return rgb;
}

} // namespace

bool Picture::savePng(const std::string& path, int32_t zoom) const {
    if (width <= 0 || height <= 0 || zoom < 1)
        return false;
    const std::vector<uint8_t> rgb = rgbBytes(*this, zoom);
    return stbi_write_png(path.c_str(), width * zoom, height * zoom, 3, rgb.data(), width * zoom * 3) != 0;
}

bool Picture::saveBmp(const std::string& path) const {
    if (width <= 0 || height <= 0)
        return false;
    const std::vector<uint8_t> rgb = rgbBytes(*this, 1);
    return stbi_write_bmp(path.c_str(), width, height, 3, rgb.data()) != 0;
}

#ifdef _WIN32
Picture captureWindow(HWND window) {
    Picture picture;
    RECT client = {0, 0, 0, 0};
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
        return picture;
    const int32_t width = client.right, height = client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memoryDc && section && bits) {
        HGDIOBJ previous = SelectObject(memoryDc, section);
        if (BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY)) {
            GdiFlush();
            const auto* words = static_cast<const uint32_t*>(bits);
            picture.width = width;
            picture.height = height;
            picture.pixels.assign(words, words + size_t(width) * size_t(height));
            for (uint32_t& word : picture.pixels)
                word &= 0xFFFFFF;
        }
        SelectObject(memoryDc, previous);
    }
    if (section)
        DeleteObject(section);
    if (memoryDc)
        DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return picture;
}
#endif
