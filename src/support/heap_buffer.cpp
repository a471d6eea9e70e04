#include "support/heap_buffer.h"

#include <cstdlib>
#include <cstring>

namespace {

HeapBuffer::Allocator heap = {std::realloc, std::malloc, std::free};

// The block size the growth policy asks for, or -1 when it does not fit a signed 32-bit size.
int64_t blockSizeFor(int64_t newSize, int64_t granularity, int64_t minimumAllocation) {
    int64_t step = newSize / 2;
    if (step < granularity)
        step = granularity;
    int64_t size;
    if (granularity < 4096) {
        size = newSize + step;
    } else {
        step = step / 4096 * 4096;
        if (step < 4096)
            step = 4096;
        if (step > 0x400000)
            step = 0x400000;
        size = (newSize + 96 + step) / 4096 * 4096 - 96;
    }
    if (size < minimumAllocation)
        size = minimumAllocation;
    return size > INT32_MAX ? -1 : size;
}

} // namespace

HeapBuffer::~HeapBuffer() {
    if (data_)
        heap.release(data_);
}

HeapBuffer::Allocator HeapBuffer::setAllocatorForTesting(const Allocator& allocator) {
    Allocator previous = heap;
    heap = allocator;
    return previous;
}

void* HeapBuffer::resize(int32_t newSize, bool allowShrink) {
    if (newSize == used_)
        return get();
    if (newSize < 0)
        return get();

    bool reallocate;
    if (newSize > allocated_)
        reallocate = true;
    else
        reallocate = allowShrink && newSize < used_ && newSize < allocated_ / 2 &&
                     int64_t(newSize) < int64_t(allocated_) - 4 * int64_t(granularity_);
    if (!reallocate) {
        used_ = newSize;
        return get();
    }

    int64_t wanted = blockSizeFor(newSize, granularity_, minimumAllocation_);
    if (wanted < 0)
        return get();
    int32_t newAllocated = int32_t(wanted);
    if (newAllocated == allocated_) {
        used_ = newSize;
        return get();
    }

    uint8_t* block = nullptr;
    if (newAllocated != 0) {
        block = static_cast<uint8_t*>(heap.reallocate(data_, size_t(newAllocated)));
        if (!block) {
            block = static_cast<uint8_t*>(heap.allocate(size_t(newAllocated)));
            if (!block)
                return get();
            int32_t keep = newSize < used_ ? newSize : used_;
            if (data_ && keep > 0)
                std::memcpy(block, data_, size_t(keep));
            if (data_)
                heap.release(data_);
        }
    } else if (data_) {
        heap.release(data_);
    }
    data_ = block;
    allocated_ = newAllocated;
    used_ = newSize;
    return get();
}
