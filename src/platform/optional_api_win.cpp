#include "platform/optional_api_win.h"

namespace vantrel {

GenericProc LookupProcIn(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    // FARPROC to the generic function-pointer type is the one cast GCC accepts
    // without -Wcast-function-type; callers convert on from there.
    return reinterpret_cast<GenericProc>(::GetProcAddress(module, name));
}

GenericProc LookupLoadedProc(const wchar_t* module, const char* name) {
    return LookupProcIn(::GetModuleHandleW(module), name);
}

}  // namespace vantrel
