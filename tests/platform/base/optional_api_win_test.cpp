#include "platform/base/handles_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/text.h"
#include "platform/base/wow64_win.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

struct TRow {
    TSystemModule Module;
    const char* Name;
    TOptionalFunction Function;
};

const TRow kRows[] = {
#define VANTREL_TEST_ROW(module, name, signature) {TSystemModule::module, #name, TOptionalFunction::name},
    VANTREL_OPTIONAL_FUNCTIONS(VANTREL_TEST_ROW)
#undef VANTREL_TEST_ROW
};

// The file of the module that holds `address`; empty when none does.
std::wstring ModuleFileAt(GenericProc address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(address), &module)) {
        return std::wstring();
    }
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

// True when both paths name one file (its volume and index), as this
// thread's file-system view resolves them.
bool SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::wstring* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        ScopedFileHandle file(::CreateFileW(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        if (!file || !::GetFileInformationByHandle(file.Get(), &info[i])) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool IsDllOf(TSystemModule module) {
    return module == TSystemModule::Psapi || module == TSystemModule::Version || module == TSystemModule::Wtsapi32;
}

// Every function of the table exists on the test system (Wine reports a
// Windows 7 that has all of them), is found again at the same address, and
// those of the run-time DLLs come from the system's DLL folder. A DLL that
// Wine itself loaded before (its user32 imports version.dll) keeps the name
// it was loaded under, which under WOW64 is the redirected system32 path of
// the same file.
TEST(OptionalApi, EveryRowResolvesAndItsDllComesFromTheSystemFolder) {
    const std::wstring folder = SystemModuleFolder();
    ASSERT_FALSE(folder.empty());
    wchar_t system[MAX_PATH + 1] = {};
    const UINT system_length = ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(system_length, 0u);
    const std::wstring system_folder(system, system_length);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.Name);
        const GenericProc proc = ResolveOptional(row.Function);
        ASSERT_NE(proc, nullptr);
        EXPECT_EQ(ResolveOptional(row.Function), proc);
        if (IsDllOf(row.Module)) {
            const std::wstring file = ModuleFileAt(proc);
            const std::size_t slash = file.rfind(L'\\');
            ASSERT_NE(slash, std::wstring::npos) << Printable(file);
            const std::wstring from = file.substr(0, slash);
            EXPECT_TRUE(EqualsNoCaseAscii(from, folder) || EqualsNoCaseAscii(from, system_folder) ||
                        SameFile(file, folder + file.substr(slash)))
                << Printable(file);
        }
    }
}

TEST(OptionalApi, TypedAccessorsGiveTheTableEntryPoints) {
    EXPECT_EQ(reinterpret_cast<GenericProc>(optional_api::VerQueryValueW()),
              ResolveOptional(TOptionalFunction::VerQueryValueW));
    auto status = optional_api::GlobalMemoryStatusEx();
    ASSERT_NE(status, nullptr);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    EXPECT_TRUE(status(&memory));
    EXPECT_GT(memory.ullTotalPhys, 0u);
}

// The DLL folder is named directly: under WOW64 the 32-bit one, which the
// thread's redirection does not move, otherwise the system folder.
TEST(OptionalApi, SystemModuleFolderIsTheFolderOfThisProcessesDlls) {
    wchar_t buffer[MAX_PATH + 1] = {};
    UINT length = IsWow64() ? ::GetSystemWow64DirectoryW(buffer, MAX_PATH) : ::GetSystemDirectoryW(buffer, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(SystemModuleFolder(), std::wstring(buffer, length));
}

}  // namespace
}  // namespace vantrel
