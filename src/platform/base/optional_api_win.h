// The system functions that the tool never imports: those older Windows
// versions lack, and every function of the DLLs it loads at run time. Each is
// declared once in the table below (module, name, signature) and reached only
// through its accessor, so the executable imports none of them, still loads
// on Windows 2000, and takes none of those DLLs from the program's folder.
//
// Resolution rule: an entry point is looked up on its first use. Once found
// it is kept for the life of the process (the module stays loaded). While it
// is missing (an older system, a module that cannot be loaded) every later
// use looks it up again and gets null until it is found; callers fall back
// as they would on a system without it. Lookups never throw and are safe on
// several threads at once.
//
// Modules: kernel32, ntdll, user32 and advapi32 are already loaded in every process of
// the tool and are taken as loaded (GetModuleHandleW). Every other module is
// loaded by its full path in the folder of the system's DLLs for this process
// (the system folder; under WOW64 the 32-bit one, named directly so that the
// thread's file-system redirection does not matter), never by bare name.
#pragma once

#include "platform/base/win.h"

#include <psapi.h>
#include <wtsapi32.h>

#include <string>

namespace vantrel {

// The modules of the table's functions.
enum class TSystemModule { Kernel32, Ntdll, User32, Psapi, Version, Wtsapi32, Advapi32 };

// The table: X(module, name, signature type).
#define VANTREL_OPTIONAL_FUNCTIONS(X)                                                                                  \
    /* Windows XP and later, or XP SP1/SP2 */                                                                          \
    X(Kernel32, IsWow64Process, BOOL(WINAPI*)(HANDLE, PBOOL))                                                          \
    X(Kernel32, Wow64DisableWow64FsRedirection, BOOL(WINAPI*)(PVOID*))                                                 \
    X(Kernel32, Wow64RevertWow64FsRedirection, BOOL(WINAPI*)(PVOID))                                                   \
    X(Kernel32, GetSystemWow64DirectoryW, UINT(WINAPI*)(LPWSTR, UINT))                                                 \
    X(Kernel32, GetNativeSystemInfo, void(WINAPI*)(LPSYSTEM_INFO))                                                     \
    X(Kernel32, WTSGetActiveConsoleSessionId, DWORD(WINAPI*)())                                                        \
    X(Kernel32, GetProcessId, DWORD(WINAPI*)(HANDLE))                                                                  \
    X(Kernel32, SetDllDirectoryW, BOOL(WINAPI*)(LPCWSTR))                                                              \
    X(Kernel32, AttachConsole, BOOL(WINAPI*)(DWORD))                                                                   \
    /* documented from Windows 2000 on, looked up all the same for the era's name */                                   \
    X(Kernel32, GetCalendarInfoW, int(WINAPI*)(LCID, CALID, CALTYPE, LPWSTR, int, LPDWORD))                            \
    /* looked up as the process inventory's memory line has always done */                                             \
    X(Kernel32, GlobalMemoryStatusEx, BOOL(WINAPI*)(LPMEMORYSTATUSEX))                                                 \
    /* Windows Vista and later */                                                                                      \
    X(Kernel32, QueryFullProcessImageNameW, BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD))                              \
    X(Kernel32, InitializeProcThreadAttributeList, BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T)) \
    X(Kernel32, UpdateProcThreadAttribute,                                                                             \
      BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T))                    \
    X(Kernel32, DeleteProcThreadAttributeList, void(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST))                            \
    /* Windows 8, and Windows 7 with its DLL search update */                                                          \
    X(Kernel32, SetDefaultDllDirectories, BOOL(WINAPI*)(DWORD))                                                        \
    /* the native interface */                                                                                         \
    X(Ntdll, RtlGetVersion, LONG(WINAPI*)(OSVERSIONINFOEXW*))                                                          \
    X(Ntdll, NtQuerySystemInformation, LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG))                                     \
    X(Ntdll, NtCreateFile,                                                                                             \
      LONG(WINAPI*)(PHANDLE, ACCESS_MASK, PVOID, PVOID, PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG))     \
    X(Ntdll, NtSetInformationFile, LONG(WINAPI*)(HANDLE, PVOID, PVOID, ULONG, ULONG))                                  \
    X(Ntdll, NtQueryInformationFile, LONG(WINAPI*)(HANDLE, PVOID, PVOID, ULONG, ULONG))                                \
    X(Ntdll, RtlNtStatusToDosError, ULONG(WINAPI*)(LONG))                                                              \
    X(User32, GetGuiResources, DWORD(WINAPI*)(HANDLE, DWORD))                                                          \
    /* RtlGenRandom, Windows XP and later */                                                                           \
    X(Advapi32, SystemFunction036, BOOLEAN(WINAPI*)(PVOID, ULONG))                                                     \
    /* process status, loaded at run time */                                                                           \
    X(Psapi, GetModuleFileNameExW, DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD))                                     \
    X(Psapi, GetProcessImageFileNameW, DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD))                                          \
    X(Psapi, GetProcessMemoryInfo, BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD))                             \
    /* version resources, loaded at run time */                                                                        \
    X(Version, GetFileVersionInfoSizeW, DWORD(WINAPI*)(LPCWSTR, LPDWORD))                                              \
    X(Version, GetFileVersionInfoW, BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID))                                      \
    X(Version, VerQueryValueW, BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT))                                        \
    /* terminal services, loaded at run time */                                                                        \
    X(Wtsapi32, WTSQuerySessionInformationW, BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*))            \
    X(Wtsapi32, WTSFreeMemory, void(WINAPI*)(PVOID))

// One identifier per row of the table, in its order.
enum class TOptionalFunction {
#define VANTREL_OPTIONAL_ID(module, name, signature) name,
    VANTREL_OPTIONAL_FUNCTIONS(VANTREL_OPTIONAL_ID)
#undef VANTREL_OPTIONAL_ID
};

using GenericProc = void (*)();

// The entry point of a row under the resolution rule above; null while the
// system lacks it.
GenericProc ResolveOptional(TOptionalFunction function);

// The folder the table loads its modules from: the system folder, or under
// WOW64 the folder of the system's 32-bit DLLs. No trailing backslash; empty
// when the system names none.
std::wstring SystemModuleFolder();

// Typed accessors, one per row: optional_api::IsWow64Process() and so on
// return the entry point with the row's signature, or null.
namespace optional_api {
#define VANTREL_OPTIONAL_ACCESSOR(module, name, signature)                                                     \
    using name##Fn = signature;                                                                                \
    inline name##Fn name() {                                                                                   \
        /* GetProcAddress's result goes through the generic function-pointer type, the one cast GCC accepts */ \
        return reinterpret_cast<name##Fn>(ResolveOptional(TOptionalFunction::name));                           \
    }
VANTREL_OPTIONAL_FUNCTIONS(VANTREL_OPTIONAL_ACCESSOR)
#undef VANTREL_OPTIONAL_ACCESSOR
}  // namespace optional_api

// First thing at start-up, before anything loads a DLL: takes the current
// folder out of the DLL search (SetDllDirectoryW with an empty text) and,
// where the system has it, limits the default search to the system folder
// (SetDefaultDllDirectories). Does nothing where neither exists.
void RestrictDllSearch();

}  // namespace vantrel
