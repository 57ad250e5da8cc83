#include "platform/base/optional_api_win.h"

#include <atomic>
#include <cstddef>

namespace vantrel {

namespace {

struct TModuleRow {
    const wchar_t* FileName;
    bool AlwaysLoaded;  // kernel32, ntdll, user32, advapi32: taken as loaded
};

const TModuleRow kModules[] = {
    {L"kernel32.dll", true}, {L"ntdll.dll", true},     {L"user32.dll", true},   {L"psapi.dll", false},
    {L"version.dll", false}, {L"wtsapi32.dll", false}, {L"advapi32.dll", true},
};
constexpr std::size_t kModuleCount = sizeof kModules / sizeof kModules[0];

struct TFunctionRow {
    TSystemModule Module;
    const char* Name;
};

const TFunctionRow kFunctions[] = {
#define VANTREL_OPTIONAL_ROW(module, name, signature) {TSystemModule::module, #name},
    VANTREL_OPTIONAL_FUNCTIONS(VANTREL_OPTIONAL_ROW)
#undef VANTREL_OPTIONAL_ROW
};
constexpr std::size_t kFunctionCount = sizeof kFunctions / sizeof kFunctions[0];

// Found entry points and loaded modules, kept for the life of the process.
// Two threads resolving the same row at once store the same value.
std::atomic<GenericProc> g_functions[kFunctionCount];
std::atomic<HMODULE> g_modules[kModuleCount];

template <typename Call>
UINT CallFolder(Call call, std::wstring& folder) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = call(buffer, MAX_PATH);
    if (length == 0 || length > MAX_PATH) return 0;
    folder.assign(buffer, length);
    return length;
}

HMODULE LoadFromSystemFolder(const wchar_t* file_name) {
    const std::wstring folder = SystemModuleFolder();
    if (folder.empty()) return nullptr;
    return ::LoadLibraryW((folder + L"\\" + file_name).c_str());
}

HMODULE ModuleOf(TSystemModule module) {
    const auto index = static_cast<std::size_t>(module);
    const TModuleRow& row = kModules[index];
    if (row.AlwaysLoaded) return ::GetModuleHandleW(row.FileName);
    HMODULE handle = g_modules[index].load();
    if (handle == nullptr) {
        // Stays loaded: its entry points are kept. A second thread loading it
        // at the same time only raises the module's reference count.
        handle = LoadFromSystemFolder(row.FileName);
        if (handle != nullptr) g_modules[index].store(handle);
    }
    return handle;
}

}  // namespace

GenericProc ResolveOptional(TOptionalFunction function) {
    const auto index = static_cast<std::size_t>(function);
    GenericProc proc = g_functions[index].load();
    if (proc != nullptr) return proc;
    HMODULE module = ModuleOf(kFunctions[index].Module);
    if (module == nullptr) return nullptr;
    proc = reinterpret_cast<GenericProc>(::GetProcAddress(module, kFunctions[index].Name));
    if (proc != nullptr) g_functions[index].store(proc);
    return proc;
}

std::wstring SystemModuleFolder() {
    std::wstring folder;
    // A 32-bit process on 64-bit Windows loads from the folder of the
    // system's 32-bit DLLs, which only such a system has; a 64-bit process
    // and every process on 32-bit Windows from the system folder.
    if (sizeof(void*) == 4) {
        if (auto wow64_folder = optional_api::GetSystemWow64DirectoryW()) {
            if (CallFolder(wow64_folder, folder) != 0) return folder;
        }
    }
    CallFolder([](wchar_t* buffer, UINT capacity) { return ::GetSystemDirectoryW(buffer, capacity); }, folder);
    return folder;
}

void RestrictDllSearch() {
    if (auto set_dll_directory = optional_api::SetDllDirectoryW()) set_dll_directory(L"");
    if (auto set_default = optional_api::SetDefaultDllDirectories()) set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace vantrel
