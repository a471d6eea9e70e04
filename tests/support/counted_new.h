// Replaces every form of operator new and delete of the program that includes this header (in
// one file only), so that each C++ allocation first calls countAllocation(), which that file
// defines. The replacements allocate with malloc and release with free, as a matching pair.
#pragma once

#include <cstdlib>
#include <new>

void countAllocation() noexcept;

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

static void* countedNew(size_t n) noexcept {
    countAllocation();
    return std::malloc(n ? n : 1);
}
void* operator new(size_t n) {
    if (void* p = countedNew(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    if (void* p = countedNew(n))
        return p;
    throw std::bad_alloc();
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return countedNew(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return countedNew(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
