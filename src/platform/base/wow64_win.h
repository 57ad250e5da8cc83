// WOW64 support: whether this 32-bit process runs on 64-bit Windows, and the
// switch for the file-system redirection of the calling thread. On 32-bit
// Windows everything here does nothing and reports false.
#pragma once

namespace vantrel {

// True when the process is a 32-bit process on 64-bit Windows. Computed on
// the first call and cached; any failure counts as false. Never throws.
bool IsWow64();

// Under WOW64, resolves the redirection switch's system functions in the
// already loaded kernel32.dll; does nothing otherwise. Harmless to repeat.
void LoadWow64Functions();

// Switches file-system redirection off for the calling thread and hands back
// the cookie RevertFsRedirection needs. True when the system call succeeded;
// false when the function is missing or the call failed (nothing changed).
bool DisableFsRedirection(void*& cookie);

// Restores the calling thread's redirection from `cookie` (same thread as
// the disable). False, doing nothing, when the function is not resolved.
bool RevertFsRedirection(void* cookie);

// The redirection bracket: switches redirection off for the calling thread
// when made and always reverts it when it goes away, also after a failed
// disable. Create and destroy it on the same thread.
class ScopedFsRedirectionOff {
public:
    ScopedFsRedirectionOff();
    ~ScopedFsRedirectionOff();
    ScopedFsRedirectionOff(const ScopedFsRedirectionOff&) = delete;
    ScopedFsRedirectionOff& operator=(const ScopedFsRedirectionOff&) = delete;

    // True when redirection is off inside the bracket.
    bool Disabled() const { return disabled_; }

private:
    void* cookie_ = nullptr;
    bool disabled_ = false;
};

}  // namespace vantrel
