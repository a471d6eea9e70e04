// RelaxedAtomic: a value that one thread writes and others read without the instance lock,
// where only the latest value matters and nothing else is published through it (view options,
// the current band, the output gain target, flags). Loads and stores are relaxed atomics: plain
// moves on x86, and no data race for the memory model or ThreadSanitizer.
#pragma once

#include <atomic>

template <typename T> class RelaxedAtomic {
public:
    constexpr RelaxedAtomic(T value = T()) noexcept : value_(value) {}
    RelaxedAtomic(const RelaxedAtomic&) = delete;

    RelaxedAtomic& operator=(T value) noexcept {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept { return *this = T(other); }
    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }

private:
    static_assert(std::atomic<T>::is_always_lock_free, "shared values must not need a lock");
    std::atomic<T> value_;
};

// The same for a plain field whose layout is fixed elsewhere (the effect record's parameter
// count, which hosts read on their own threads): written and read as relaxed atomics.
template <typename T> inline void storeRelaxed(T& field, T value) noexcept {
    __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}
template <typename T> inline T loadRelaxed(const T& field) noexcept {
    return __atomic_load_n(&field, __ATOMIC_RELAXED);
}
