// Owners for COM: an interface pointer released when it goes away, and OLE
// initialised for the calling thread for the length of a scope.
#pragma once

#include "platform/base/win.h"

#include <objbase.h>
#include <ole2.h>

namespace vantrel {

// Releases a COM interface pointer when it goes away.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Releases the held pointer and returns the slot for an out parameter.
    void** Receive() {
        Reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void Reset() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

// OLE for the calling thread, uninitialised again when it goes away (only
// when this object's initialisation succeeded).
class ScopedOleInitialize {
public:
    ScopedOleInitialize() : result_(::OleInitialize(nullptr)) {}
    ~ScopedOleInitialize() {
        if (SUCCEEDED(result_)) ::OleUninitialize();
    }
    ScopedOleInitialize(const ScopedOleInitialize&) = delete;
    ScopedOleInitialize& operator=(const ScopedOleInitialize&) = delete;
    bool Succeeded() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace vantrel
