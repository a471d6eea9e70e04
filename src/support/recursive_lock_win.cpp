#include "support/recursive_lock.h"

#include "support/windows_prelude.h"

static_assert(sizeof(CRITICAL_SECTION) <= 40 && alignof(CRITICAL_SECTION) <= 8,
              "RecursiveLock's storage must hold a CRITICAL_SECTION");

namespace {
CRITICAL_SECTION* sectionOf(unsigned char* storage) {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
} // namespace

RecursiveLock::RecursiveLock() {
    InitializeCriticalSection(sectionOf(section_));
}
RecursiveLock::~RecursiveLock() {
    DeleteCriticalSection(sectionOf(section_));
}
void RecursiveLock::lock() {
    EnterCriticalSection(sectionOf(section_));
}
void RecursiveLock::unlock() {
    LeaveCriticalSection(sectionOf(section_));
}
bool RecursiveLock::tryLock() {
    return TryEnterCriticalSection(sectionOf(section_)) != 0;
}
