// Lookup of system functions that older Windows versions lack. Every such
// function is reached through this module and never called directly, so the
// executable imports none of them and still loads on Windows 2000.
#pragma once

#include "platform/win.h"

namespace vantrel {

using GenericProc = void (*)();

// GetProcAddress on an already loaded module (GetModuleHandleW); null when the
// module or the function is missing.
GenericProc LookupLoadedProc(const wchar_t* module, const char* name);
// GetProcAddress on a module handle; null when missing.
GenericProc LookupProcIn(HMODULE module, const char* name);

template <typename Fn>
Fn ProcAs(GenericProc proc) {
    return reinterpret_cast<Fn>(proc);
}

}  // namespace vantrel
