// A Win32 critical section and a scope guard for it. The product's compiler
// has no std::mutex.
#pragma once

#include "platform/base/win.h"

namespace vantrel {

class TCriticalSection {
public:
    TCriticalSection() { ::InitializeCriticalSection(&section_); }
    ~TCriticalSection() { ::DeleteCriticalSection(&section_); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter() { ::EnterCriticalSection(&section_); }
    void Leave() { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds a critical section for the lifetime of the guard.
class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TCriticalSection& section) : section_(section) { section_.Enter(); }
    ~TCriticalSectionGuard() { section_.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TCriticalSection& section_;
};

}  // namespace vantrel
