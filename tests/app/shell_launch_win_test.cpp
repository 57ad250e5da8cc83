#include "app/shell_launch_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/base/win.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vantrel {
namespace {

using vantrel_test::Printable;

// While alive, this program's import of `function` from `dll` leads to
// `replacement` instead (its import address table entry is rewritten).
class TImportPatch {
public:
    TImportPatch(const char* dll, const char* function, void* replacement) {
        auto* base = reinterpret_cast<unsigned char*>(::GetModuleHandleW(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             entry->Name != 0; ++entry) {
            if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
            const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* by_name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), function) != 0) continue;
                slot_ = &slots->u1.Function;
                Write(reinterpret_cast<decltype(slots->u1.Function)>(replacement));
                return;
            }
        }
    }
    ~TImportPatch() {
        if (slot_ != nullptr) Write(original_);
    }
    TImportPatch(const TImportPatch&) = delete;
    TImportPatch& operator=(const TImportPatch&) = delete;
    bool Applied() const { return slot_ != nullptr; }

private:
    using TSlot = decltype(IMAGE_THUNK_DATA().u1.Function);
    void Write(TSlot value) {
        DWORD old = 0;
        ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
        if (original_ == 0) original_ = *slot_;
        *slot_ = value;
        ::VirtualProtect(slot_, sizeof *slot_, old, &old);
    }
    TSlot* slot_ = nullptr;
    TSlot original_ = 0;
};

// What a program that is not marked aware of terminal servers is told of
// the Windows folder on such a host: a folder of the user's own.
const wchar_t kUsersWindows[] = L"C:\\users\\Public\\WINDOWS";

UINT WINAPI UsersWindowsDirectory(LPWSTR buffer, UINT size) {
    const UINT length = static_cast<UINT>(std::wcslen(kUsersWindows));
    if (size <= length) return length + 1;
    std::wcscpy(buffer, kUsersWindows);
    return length;
}

// Explorer is named by its full path in the shared Windows folder, never
// looked up by bare name (which would start an explorer.exe planted in the
// current or the program's folder, with the tool's rights), and never in a
// Windows folder a terminal server gives the user.
TEST(ExplorerPath, TheSharedWindowsFoldersExplorer) {
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring expected = std::wstring(windows, length) + L"\\explorer.exe";
    EXPECT_TRUE(EqualsNoCaseAscii(ExplorerPath(), expected)) << Printable(ExplorerPath());
    EXPECT_TRUE(FileExists(ExplorerPath())) << Printable(ExplorerPath());

    // On a terminal server.
    const TImportPatch terminal_server("kernel32.dll", "GetWindowsDirectoryW",
                                       reinterpret_cast<void*>(&UsersWindowsDirectory));
    ASSERT_TRUE(terminal_server.Applied());
    wchar_t told[MAX_PATH + 1] = {};
    ASSERT_EQ(std::wstring(told, ::GetWindowsDirectoryW(told, MAX_PATH)), kUsersWindows);  // the patch holds
    EXPECT_TRUE(EqualsNoCaseAscii(ExplorerPath(), expected)) << Printable(ExplorerPath());
}

}  // namespace
}  // namespace vantrel
