// HeapBuffer: the one growable byte store. Owners cast its bytes to arrays of their own
// plain records; it never constructs or destroys elements.
// Growth is geometric and page-shaped (blocks of granularity >= 4096 are 96 bytes short of a
// 4096 multiple); shrinking is lazy and only on request. A failed allocation changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

class HeapBuffer {
public:
    explicit HeapBuffer(int32_t granularity = 4096) : granularity_(granularity) {}
    ~HeapBuffer();
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    // Sets the used size and returns the data (null when the new used size is 0). On an
    // allocation failure, or a negative or unrepresentable size, returns what get() returned
    // before and changes nothing.
    void* resize(int32_t newSize, bool allowShrink = false);
    void* get() const { return used_ != 0 ? data_ : nullptr; }
    int32_t getSize() const { return used_; }
    int32_t getAllocated() const { return allocated_; }

    // The C heap functions used for the block; tests swap them to provoke failures.
    struct Allocator {
        void* (*reallocate)(void*, size_t);
        void* (*allocate)(size_t);
        void (*release)(void*);
    };
    static Allocator setAllocatorForTesting(const Allocator& allocator);

private:
    uint8_t* data_ = nullptr;
    int32_t granularity_;
    int32_t allocated_ = 0;
    int32_t used_ = 0;
    int32_t minimumAllocation_ = 0;
};
