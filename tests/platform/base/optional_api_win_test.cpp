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

bool IsDllOf(TSystemModule module) {
    return module == TSystemModule::Psapi || module == TSystemModule::Version || module == TSystemModule::Wtsapi32;
}

// Every function of the table exists on the test system (Wine reports a
// Windows 7 that has all of them), is found again at the same address, and
// those of the run-time DLLs come from the system's DLL folder, never from
// the program's. A DLL that the system itself loaded into the process before
// the table asked for it (Wine's own user32 imports version.dll) may be
// reported under the system folder's name, which a 32-bit process on 64-bit
// Windows sees redirected to the same 32-bit DLLs.
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
            EXPECT_TRUE(EqualsNoCaseAscii(from, folder) || EqualsNoCaseAscii(from, system_folder)) << Printable(file);
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
