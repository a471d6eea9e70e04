// RecursiveLock: the instance lock. A critical section on Windows, std::recursive_mutex
// elsewhere; the owning thread may take it again. The header names no system type, so the
// engine that holds one never sees <windows.h>: on Windows the section lives in storage of
// its size, and the calls into it are out of line.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

class RecursiveLock {
public:
#ifdef _WIN32
    RecursiveLock();
    ~RecursiveLock();
    void lock();
    void unlock();
    bool tryLock();
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
    // A CRITICAL_SECTION (40 bytes on x64); recursive_lock.cpp checks size and alignment.
    alignas(8) unsigned char section_[40];
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
