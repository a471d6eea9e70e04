// RecursiveLock: the instance lock. A critical section on Windows, std::recursive_mutex
// elsewhere; the owning thread may take it again.
#pragma once

#ifdef _WIN32
#include "support/windows_prelude.h"
#else
#include <mutex>
#endif

class RecursiveLock {
public:
#ifdef _WIN32
    RecursiveLock() { InitializeCriticalSection(&section_); }
    ~RecursiveLock() { DeleteCriticalSection(&section_); }
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }
    bool tryLock() { return TryEnterCriticalSection(&section_) != 0; }
#else
    RecursiveLock() = default;
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
#endif
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

private:
#ifdef _WIN32
    CRITICAL_SECTION section_;
#else
    std::recursive_mutex mutex_;
#endif
};

class LockHolder {
public:
    explicit LockHolder(RecursiveLock& lock) : lock_(lock) { lock_.lock(); }
    ~LockHolder() { lock_.unlock(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    RecursiveLock& lock_;
};
