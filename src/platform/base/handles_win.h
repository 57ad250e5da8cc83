// RAII owners for Win32 handles: one template, one traits type per handle
// kind, the invalid value part of the type.
#pragma once

#include "platform/base/win.h"

#include <utility>

namespace vantrel {

template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept : handle_(Traits::Invalid()) {}
    explicit ScopedHandle(Handle h) noexcept : handle_(h) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    bool Valid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    // Closes the held handle and takes `h`.
    void Reset(Handle h = Traits::Invalid()) noexcept {
        Close();
        handle_ = h;
    }
    Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    // For out parameters: closes the held handle and returns its slot.
    Handle* Receive() noexcept {
        Reset();
        return &handle_;
    }

private:
    void Close() noexcept {
        if (Valid()) Traits::Close(handle_);
        handle_ = Traits::Invalid();
    }
    Handle handle_;
};

struct KernelHandleTraits {  // processes, threads, tokens, mappings: NULL is invalid
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {  // files and snapshots: INVALID_HANDLE_VALUE is invalid
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {  // modules loaded with LoadLibraryW
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};
struct MappedViewTraits {
    using Handle = const void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::UnmapViewOfFile(h); }
};
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::LocalFree(h); }
};
struct ServiceHandleTraits {  // service control manager and service handles
    using Handle = SC_HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseServiceHandle(h); }
};

struct SidTraits {  // SIDs made by AllocateAndInitializeSid
    using Handle = PSID;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeSid(h); }
};
struct CryptProviderTraits {
    using Handle = HCRYPTPROV;
    static Handle Invalid() noexcept { return 0; }
    static void Close(Handle h) noexcept { ::CryptReleaseContext(h, 0); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedMappedView = ScopedHandle<MappedViewTraits>;
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits>;
using ScopedServiceHandle = ScopedHandle<ServiceHandleTraits>;
using ScopedSid = ScopedHandle<SidTraits>;
using ScopedCryptProvider = ScopedHandle<CryptProviderTraits>;

}  // namespace vantrel
