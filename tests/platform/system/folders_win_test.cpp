#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/system/folder_rules.h"
#include "platform/system/folders_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <vector>

namespace vantrel {
namespace {

using vantrel_test::Printable;

// Sets (or, with null, removes) an environment variable of this process and
// restores the old value when it goes away.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        std::vector<wchar_t> old(32768, L'\0');
        had_ = ::GetEnvironmentVariableW(name, old.data(), static_cast<DWORD>(old.size())) != 0;
        old_ = old.data();
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

private:
    std::wstring name_;
    std::wstring old_;
    bool had_ = false;
};

std::wstring KernelDrive() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(::GetModuleHandleW(L"kernel32.dll"), path, MAX_PATH);
    return std::wstring(path, 2);
}

TEST(AppFrame, OnlyTheTemporaryFolderEndsWithABackslash) {
    const TAppFrame& frame = ReportAppFrame();
    const std::wstring temp = frame.GetFolder(2);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_TRUE(DirectoryExists(temp));
    for (std::uint32_t kind = 0; kind <= 35; ++kind) {
        if (kind == 2) continue;
        SCOPED_TRACE(kind);
        const std::wstring folder = frame.GetFolder(kind);
        if (!folder.empty()) {
            EXPECT_NE(folder.back(), L'\\') << Printable(folder);
        }
    }
}

TEST(AppFrame, KindsTheReportUsesAreFound) {
    const TAppFrame& frame = ReportAppFrame();
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(frame.GetFolder(0), windows);
    EXPECT_EQ(frame.GetFolder(1), GetSystemDir());
    EXPECT_EQ(frame.GetFolder(2), GetTempDir());
    for (std::uint32_t kind : {10u, 16u}) {  // the user's Startup, common program files
        SCOPED_TRACE(kind);
        EXPECT_FALSE(frame.GetFolder(kind).empty());
    }
    EXPECT_EQ(frame.GetFolder(16), TAppFrame::GetShellFolder(nullptr, CSIDL_PROGRAM_FILES_COMMON));
}

TEST(AppFrame, SharedAndMissingKinds) {
    const TAppFrame& frame = AppFrame();
    for (std::uint32_t kind : {14u, 36u, 37u, 1000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(frame.GetFolder(kind), L"");
    }
    EXPECT_FALSE(frame.GetFolder(13).empty());
    EXPECT_EQ(frame.GetFolder(13), frame.GetFolder(19));
    EXPECT_EQ(frame.GetFolder(16), frame.GetFolder(30));
}

TEST(AppFrame, FieldsAndBothInstances) {
    const TAppFrame& report = ReportAppFrame();
    const TAppFrame& shared = AppFrame();
    EXPECT_EQ(&report, &ReportAppFrame());
    EXPECT_EQ(&shared, &AppFrame());
    EXPECT_EQ(report.ExeDir, ExtractFilePath(GetModulePath()));
    EXPECT_EQ(report.ExeDir.back(), L'\\');
    EXPECT_EQ(report.AppDataDir, TAppFrame::GetShellFolder(nullptr, CSIDL_APPDATA));
    EXPECT_EQ(report.CommonAppDataDir, TAppFrame::GetShellFolder(nullptr, CSIDL_COMMON_APPDATA));
    EXPECT_TRUE(DirectoryExists(report.AppDataDir));
    EXPECT_EQ(shared.AppDataDir, report.AppDataDir);
    EXPECT_EQ(shared.CommonAppDataDir, report.CommonAppDataDir);
    EXPECT_EQ(shared.ExeDir, report.ExeDir);
}

TEST(AppFrame, AppDataChainAnswersAnExistingFolder) {
    for (bool common : {false, true}) {
        SCOPED_TRACE(common);
        const std::wstring folder = TAppFrame::GetAppDataDir(common);
        EXPECT_TRUE(DirectoryExists(folder)) << Printable(folder);
        EXPECT_EQ(folder, TAppFrame::GetShellFolder(nullptr, common ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA));
    }
}

TEST(SpecialFolder, ShellAnswerWithoutTrailingBackslash) {
    const std::wstring desktop = GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY);
    ASSERT_GT(desktop.size(), 2u);
    EXPECT_NE(desktop.back(), L'\\');
    EXPECT_TRUE(DirectoryExists(desktop));
    EXPECT_FALSE(GetSpecialFolder(nullptr, CSIDL_COMMON_STARTUP).empty());
}

TEST(SpecialFolder, FallbackReadsTheTrimmedVariableThenTheDefaultPath) {
    const std::wstring drive = KernelDrive();
    const std::wstring user = GetCurrentUserName();
    struct Case {
        int csidl;
        const wchar_t* variable;
        const wchar_t* value;  // null: unset
        std::wstring expected;
    };
    const Case cases[] = {
        {CSIDL_APPDATA, L"APPDATA", L"  D:\\Roaming  ", L"D:\\Roaming"},
        {CSIDL_APPDATA, L"APPDATA", nullptr, drive + L"\\Users\\" + user + L"\\AppData\\Roaming"},
        {CSIDL_APPDATA, L"APPDATA", L"   ", drive + L"\\Users\\" + user + L"\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"LOCALAPPDATA", nullptr, drive + L"\\Users\\" + user + L"\\AppData\\Local"},
        {CSIDL_COMMON_APPDATA, L"ProgramData", nullptr, drive + L"\\ProgramData"},
        // this test runs as a 32-bit process on 64-bit Windows
        {CSIDL_PROGRAM_FILES, L"ProgramFiles(x86)", nullptr, drive + L"\\Program Files (x86)"},
        {CSIDL_PROGRAM_FILES, L"ProgramFiles(x86)", L"E:\\Apps (x86)", L"E:\\Apps (x86)"},
        {CSIDL_PROGRAM_FILES_COMMON, L"CommonProgramFiles(x86)", nullptr,
         drive + L"\\Program Files (x86)\\Common Files"},
    };
    ASSERT_FALSE(user.empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.variable) + " = " + (c.value ? Printable(c.value) : "unset"));
        if (!kUnderWow64 && std::wstring(c.variable).find(L"(x86)") != std::wstring::npos) continue;
        ScopedVariable variable(c.variable, c.value);
        EXPECT_EQ(SpecialFolderFallback(c.csidl, L""), c.expected);
        EXPECT_EQ(SpecialFolderFallback(c.csidl, L"C:"), c.expected);
    }
}

TEST(SpecialFolder, NoFallbackForTheDesktop) {
    ScopedVariable variable(L"USERPROFILE", L"D:\\Profile");
    EXPECT_EQ(SpecialFolderFallback(CSIDL_DESKTOPDIRECTORY, L""), L"");
    EXPECT_EQ(SpecialFolderFallback(CSIDL_DESKTOPDIRECTORY, L"C:"), L"C:");
}

TEST(CurrentUser, NameOfTheAccountWithoutDomain) {
    const std::wstring user = GetCurrentUserName();
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(user.find(L'\\'), std::wstring::npos);
    EXPECT_EQ(user.find(L'\0'), std::wstring::npos);
}

}  // namespace
}  // namespace vantrel
