#include <cstdlib>

#include "raster/pixo.h"

PIXO_MemBitmap::~PIXO_MemBitmap() { std::free(storage_); }

uint32_t* PIXO_MemBitmap::pixels() {
    if (!storage_)
        return nullptr;
    uintptr_t aligned = (reinterpret_cast<uintptr_t>(storage_) + 63) & ~uintptr_t(63);
    return reinterpret_cast<uint32_t*>(aligned);
}

bool PIXO_MemBitmap::setSize(int32_t w, int32_t h) {
    if (w == width_ && h == height_)
        return false;
    // Sizes are worked out in 64 bits: a request that does not fit 31 bits is an allocation
    // failure rather than a small block that drawing would run past.
    int64_t rowPixels = (int64_t(w) + rowAlignMask_) & ~int64_t(rowAlignMask_);
    int64_t bytes = rowPixels * h * 4;
    bool fits = w > 0 && h > 0 && bytes > 0 && bytes <= INT32_MAX - 63;
    width_ = w;
    height_ = h;
    if (!fits) {
        std::free(storage_);
        storage_ = nullptr;
        capacity_ = 0;
    } else if (!storage_) {
        capacity_ = int32_t(bytes);
        storage_ = std::malloc(size_t(bytes) + 63);
    } else if (bytes > capacity_) {
        int64_t grown = bytes + bytes / 4;
        if (grown > INT32_MAX - 63)
            grown = bytes;
        void* moved = std::realloc(storage_, size_t(grown) + 63);
        if (moved) {
            storage_ = moved;
            capacity_ = int32_t(grown);
        } else {
            std::free(storage_);
            capacity_ = int32_t(bytes);
            storage_ = std::malloc(size_t(bytes) + 63);
        }
    }
    if (!storage_) {
        capacity_ = 0;
        width_ = 0;
        height_ = 0;
    }
    return true;
}
