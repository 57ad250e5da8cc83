#include "report/autoruns.h"
#include "report/autoruns_win.h"

#include "platform/base/com_win.h"
#include "platform/base/wow64_win.h"
#include "platform/system/registry_rules.h"
#include "platform/system/registry_win.h"
#include "report/registry_sandbox_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <ole2.h>
#include <shlobj.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::RegistrySandbox;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kRunOnceEx[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
const wchar_t kPoliciesRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const wchar_t kNtWindows[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const wchar_t kWinlogon[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::string Joined(const TStringList& list) {
    std::string out;
    for (const auto& s : list) out += "[" + Printable(s) + "]\n";
    return out;
}

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetSystemDirectoryW(buffer, MAX_PATH);
    return buffer;
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

// Saves a shortcut through the shell-link object, as the shell would.
void MakeShortcut(const std::wstring& file, const std::wstring& target, const std::wstring& arguments) {
    ScopedOleInitialize ole;
    ASSERT_TRUE(ole.Succeeded());
    ComRef<IShellLinkW> link;
    ASSERT_EQ(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Receive()),
              S_OK);
    link->SetPath(target.c_str());
    if (!arguments.empty()) link->SetArguments(arguments.c_str());
    ComRef<IPersistFile> persist;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, persist.Receive()), S_OK);
    EXPECT_EQ(persist->Save(file.c_str(), TRUE), S_OK);
}

class AutorunsSection : public ::testing::Test {
protected:
    TAutorunsContext Context(bool wow64) const {
        TAutorunsContext context;
        context.UserStartupFolder = UserStartup();
        context.CommonStartupFolder = CommonStartup();
        context.WindowsFolder = WindowsFolder();
        context.SystemFolder = SystemFolder();
        context.Wow64 = wow64;
        return context;
    }
    std::wstring UserStartup() const { return temp_.Path() + L"User Startup"; }
    std::wstring CommonStartup() const { return temp_.Path() + L"Common Startup"; }

    TempFolder temp_{L"autoruns"};
    RegistrySandbox sandbox_;
};

TEST_F(AutorunsSection, EveryKindOfLaunchPointGivesThePredictedLines) {
    ::CreateDirectoryW(UserStartup().c_str(), nullptr);
    MakeShortcut(UserStartup() + L"\\App.lnk", L"C:\\App\\app.exe", L"-tray");
    MakeShortcut(UserStartup() + L"\\NoArgs.lnk", L"C:\\App\\other.exe", L"");
    WriteFileBytes(UserStartup() + L"\\desktop.ini", "[.ShellClassInfo]\r\n");
    WriteFileBytes(UserStartup() + L"\\Thumbs.db", "thumbs");
    WriteFileBytes(UserStartup() + L"\\sub\\plain.txt", "plain");
    WriteFileBytes(UserStartup() + L"\\sub\\Desktop.INI", "skipped in subfolders too");
    WriteFileBytes(CommonStartup() + L"\\c.bat", "@echo off");

    // Value names in sorted order: registry enumeration order is then the
    // same everywhere.
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kRun, L"", L"C:\\default.exe");
    RegistrySandbox::Set(HKEY_CURRENT_USER, kRun, L"EmptyData", REG_SZ, L"", 0);
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kRun, L"EmptyString", L"");
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kRun, L"ExpandTool", L"%SystemRoot%\\x.exe", REG_EXPAND_SZ);
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kRun, L"Tool", L"C:\\T\\tool.exe /min");
    RegistrySandbox::Set(HKEY_CURRENT_USER, kRun, L"ZeroDword", REG_DWORD, nullptr, 0);
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kRun, L"Machine", L"m.exe");
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kRunOnce, L"Once", L"o.exe");
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, std::wstring(kRunOnceEx) + L"\\0001", L"1", L"setup.dll|Install|/q");
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, std::wstring(kRunOnceEx) + L"\\0002", L"a", L" | |notepad.exe n.txt");
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kPoliciesRun, L"Pol", L"p.exe");
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kNtWindows, L"Load", L"\"C:\\Program Files\\l.exe\", x.exe");
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kNtWindows, L"Run", L"r.exe");
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", L"myshell.exe,explorer.exe");
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit", SystemFolder() + L"\\userinit.exe,");

    const TStringList expected = {
        L"",
        L"===== Autoruns =====",
        L"",
        L"---------- Startup ----------",
        L"\"C:\\App\\app.exe\" -tray",
        L"\"C:\\App\\other.exe\" ",
        UserStartup() + L"\\sub\\plain.txt",
        CommonStartup() + L"\\c.bat",
        L"---------- Run ----------",
        L"=C:\\default.exe",
        L"EmptyData=",
        L"EmptyString=",
        L"ExpandTool=%SystemRoot%\\x.exe",
        L"Tool=C:\\T\\tool.exe /min",
        L"ZeroDword=",
        L"Machine=m.exe",
        L"---------- RunOnce ----------",
        L"Once=o.exe",
        L"---------- RunOnceEx ----------",
        L"rundll32.exe setup.dll",
        L"rundll32.exe setup.dll,Install",
        L"rundll32.exe setup.dll,Install /q",
        L"notepad.exe n.txt",
        L"---------- policies Run ----------",
        L"Pol=p.exe",
        L"---------- NT Run ----------",
        L"r.exe",
        L"C:\\Program Files\\l.exe",
        L"x.exe",
        L"---------- Windows Shell ----------",
        L"myshell.exe",
        L"explorer.exe",
    };
    EXPECT_EQ(Joined(BuildAutoruns(Context(false))), Joined(expected));
}

TEST_F(AutorunsSection, NothingRegisteredGivesTheTitleAlone) {
    // The usual logon programs are no entries.
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", L"Explorer.exe");
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit", SystemFolder() + L"\\userinit.exe,");
    ::CreateDirectoryW(UserStartup().c_str(), nullptr);
    WriteFileBytes(UserStartup() + L"\\desktop.ini", "x");
    EXPECT_EQ(Joined(BuildAutoruns(Context(true))), Joined({L"", L"===== Autoruns =====", L""}));

    TAutorunsContext no_folders = Context(false);
    no_folders.UserStartupFolder.clear();
    no_folders.CommonStartupFolder = temp_.Path() + L"missing";
    EXPECT_EQ(Joined(BuildAutoruns(no_folders)), Joined({L"", L"===== Autoruns =====", L""}));
}

TEST_F(AutorunsSection, Wow6432NodeKeysAreReadOnlyUnderWow64) {
    // The machine-wide key laid out as on 64-bit Windows: a 64-bit branch and
    // the 32-bit branch below Wow6432Node. The per-user key is not redirected.
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Native",
                             L"n64.exe", REG_SZ, KEY_WOW64_64KEY);
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                             L"Node", L"n32.exe", REG_SZ, KEY_WOW64_64KEY);
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE,
                             L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Shell",
                             L"explorer.exe", REG_SZ, KEY_WOW64_64KEY);
    RegistrySandbox::SetText(HKEY_CURRENT_USER, kRun, L"Plain", L"p.exe");
    if (!IsWow64()) GTEST_SKIP() << "registry redirection needs 64-bit Windows";

    // This 32-bit process sees the machine-wide 32-bit branch through both
    // paths, so under WOW64 its entries are listed twice; the default shell
    // leaves no heading.
    EXPECT_EQ(Joined(BuildAutoruns(Context(true))),
              Joined({L"", L"===== Autoruns =====", L"", L"---------- Run ----------", L"Plain=p.exe", L"Node=n32.exe",
                      L"Node=n32.exe"}));
    EXPECT_EQ(
        Joined(BuildAutoruns(Context(false))),
        Joined({L"", L"===== Autoruns =====", L"", L"---------- Run ----------", L"Plain=p.exe", L"Node=n32.exe"}));
}

TEST(AutorunsErrors, AValueThatIsNotTextRaisesTheRegistryError) {
    const BYTE data[] = {1, 0, 0, 0, 'x', 0, 0, 0};
    struct Case {
        HKEY root;
        std::wstring key;
        const wchar_t* name;
        DWORD type;
    };
    const Case cases[] = {
        {HKEY_CURRENT_USER, kRun, L"Counter", REG_DWORD},
        {HKEY_LOCAL_MACHINE, kRun, L"List", REG_MULTI_SZ},
        {HKEY_LOCAL_MACHINE, std::wstring(kRunOnceEx) + L"\\0001", L"1", REG_BINARY},
        {HKEY_CURRENT_USER, kNtWindows, L"Load", REG_DWORD},
        {HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit", REG_DWORD},
    };
    TempFolder temp{L"autoruns_bad"};
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.key + L"\\" + c.name));
        RegistrySandbox sandbox;
        RegistrySandbox::SetText(HKEY_CURRENT_USER, kRun, L"Fine", L"fine.exe");
        RegistrySandbox::Set(c.root, c.key, c.name, c.type, data, sizeof data);
        TAutorunsContext context;
        context.UserStartupFolder = temp.Path();
        try {
            BuildAutoruns(context);
            ADD_FAILURE() << "no error raised";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid data type for '" + EncodeUtf8(c.name) + "'");
        }
    }
}

TEST(ReadTextValue, MissingEmptyAndTextValues) {
    RegistrySandbox sandbox;
    RegistrySandbox::SetText(HKEY_CURRENT_USER, L"Software\\Values", L"text", L"abc");
    RegistrySandbox::Set(HKEY_CURRENT_USER, L"Software\\Values", L"cut", REG_SZ, L"ab\0cd", 6 * sizeof(wchar_t));
    RegistrySandbox::Set(HKEY_CURRENT_USER, L"Software\\Values", L"binary", REG_BINARY, nullptr, 0);
    const std::wstring long_text(5000, L'L');
    RegistrySandbox::SetText(HKEY_CURRENT_USER, L"Software\\Values", L"long", long_text, REG_EXPAND_SZ);
    const ScopedRegKey key = OpenRegistryKey(HKEY_CURRENT_USER, L"Software\\Values");
    ASSERT_TRUE(key);
    EXPECT_EQ(ReadTextValue(key.Get(), L"text"), L"abc");
    EXPECT_EQ(ReadTextValue(key.Get(), L"cut"), L"ab");
    EXPECT_EQ(ReadTextValue(key.Get(), L"binary"), L"");
    EXPECT_EQ(ReadTextValue(key.Get(), L"missing"), L"");
    EXPECT_EQ(ReadTextValue(key.Get(), L"long"), long_text);
}

TEST(ShellLink, TargetInQuotesThenArguments) {
    TempFolder temp{L"links"};
    MakeShortcut(temp.Path() + L"args.lnk", L"C:\\App\\app.exe", L"-tray --quiet");
    MakeShortcut(temp.Path() + L"plain.lnk", L"C:\\App\\app.exe", L"");
    WriteFileBytes(temp.Path() + L"broken.lnk", "not a shortcut");
    EXPECT_EQ(ResolveShellLink(temp.Path() + L"args.lnk"), L"\"C:\\App\\app.exe\" -tray --quiet");
    EXPECT_EQ(ResolveShellLink(temp.Path() + L"plain.lnk"), L"\"C:\\App\\app.exe\" ");
    // an unreadable shortcut is not examined further: empty target and arguments
    EXPECT_EQ(ResolveShellLink(temp.Path() + L"broken.lnk"), L"\"\" ");
    EXPECT_EQ(ResolveShellLink(temp.Path() + L"missing.lnk"), L"\"\" ");
}

}  // namespace
}  // namespace vantrel
