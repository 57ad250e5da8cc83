#include "report/services.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TServiceLine Line(const wchar_t* name, std::uint32_t type, std::uint32_t state, std::uint32_t exit_code,
                  std::int32_t start, const wchar_t* path, const wchar_t* version) {
    TServiceLine line;
    line.DisplayName = name;
    line.ServiceType = type;
    line.CurrentState = state;
    line.Win32ExitCode = exit_code;
    line.StartType = start;
    line.ImagePath = path;
    line.VersionText = version;
    return line;
}

TEST(ServiceLine, FieldsAndSpacingExactly) {
    struct Case {
        TServiceLine line;
        const wchar_t* expected;
    };
    const Case cases[] = {
        // a short name is padded to 30 characters
        {Line(L"Event Log", 0x20, 4, 0, 2, L"C:\\windows\\system32\\svchost.exe -k x", L""),
         L"Event Log                      20  4  0 2 C:\\windows\\system32\\svchost.exe -k x "},
        // a found image without version resource: "Ver:" and nothing after it
        {Line(L"Spooler", 0x110, 1, 1077, 3, L"C:\\w\\spoolsv.exe", L"Ver:"),
         L"Spooler                        110  1  1077 3 C:\\w\\spoolsv.exe Ver:"},
        {Line(L"Null", 0x1, 4, 0, 1, L"\\SystemRoot\\System32\\drivers\\null.sys", L"Ver:10.0.19041.1"),
         L"Null                           1  4  0 1 \\SystemRoot\\System32\\drivers\\null.sys Ver:10.0.19041.1"},
        {Line(L"Fs", 0x2, 1, 0, 0, L"x.sys", L""), L"Fs                             2  1  0 0 x.sys "},
        {Line(L"Wide", 0x1F0, 7, 0, 4, L"p", L""), L"Wide                           1F0  7  0 4 p "},
        // exit codes are printed as %d prints a 32-bit value
        {Line(L"Crashed", 0x10, 1, 0xC0000005u, 2, L"p", L""),
         L"Crashed                        10  1  -1073741819 2 p "},
        // a configuration that could not be read: start type -1, no path, no version
        {Line(L"Vanished", 0x10, 1, 0, kUnknownStartType, L"", L""), L"Vanished                       10  1  0 -1  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.expected));
        EXPECT_EQ(FormatServiceLine(c.line), c.expected);
    }
}

TEST(ServiceLine, NamesOfThirtyOrMoreAreFollowedByOneSpace) {
    const std::wstring name29(29, L'n');
    const std::wstring name30(30, L'n');
    const std::wstring name45(45, L'n');
    EXPECT_EQ(FormatServiceLine(Line(name29.c_str(), 0x10, 1, 0, 3, L"p", L"")), name29 + L"  10  1  0 3 p ");
    EXPECT_EQ(FormatServiceLine(Line(name30.c_str(), 0x10, 1, 0, 3, L"p", L"")), name30 + L" 10  1  0 3 p ");
    EXPECT_EQ(FormatServiceLine(Line(name45.c_str(), 0x10, 1, 0, 3, L"p", L"")), name45 + L" 10  1  0 3 p ");
}

TEST(ImagePath, NtPrefixAndSystemRootForms) {
    struct Case {
        const wchar_t* path;
        const wchar_t* stripped;
        const wchar_t* system_root_form;  // of the stripped path
    };
    const Case cases[] = {
        {L"\\??\\C:\\path\\x.sys", L"C:\\path\\x.sys", L"C:\\path\\x.sys"},
        {L"\\??\\c:\\p.sys", L"c:\\p.sys", L"c:\\p.sys"},
        {L"\\\\?\\C:\\p.sys", L"\\\\?\\C:\\p.sys", L"\\\\?\\C:\\p.sys"},
        {L"\\SystemRoot\\System32\\drivers\\x.sys", L"\\SystemRoot\\System32\\drivers\\x.sys",
         L"%SystemRoot%\\System32\\drivers\\x.sys"},
        // any case, and every occurrence once the path starts with it
        {L"\\systemroot\\a\\SYSTEMROOT\\b.sys", L"\\systemroot\\a\\SYSTEMROOT\\b.sys",
         L"%SystemRoot%\\a%SystemRoot%\\b.sys"},
        {L"System32\\drivers\\x.sys", L"System32\\drivers\\x.sys", L"%SystemRoot%\\System32\\drivers\\x.sys"},
        {L"system32\\x.sys", L"system32\\x.sys", L"%SystemRoot%\\system32\\x.sys"},
        {L"SysWOW64\\x.sys", L"SysWOW64\\x.sys", L"%SystemRoot%\\SysWOW64\\x.sys"},
        // only at the start
        {L"C:\\SystemRoot\\x.sys", L"C:\\SystemRoot\\x.sys", L"C:\\SystemRoot\\x.sys"},
        {L"System32x.sys", L"System32x.sys", L"System32x.sys"},
        {L"%ProgramFiles%\\a.exe", L"%ProgramFiles%\\a.exe", L"%ProgramFiles%\\a.exe"},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(StripNtPathPrefix(c.path), c.stripped);
        EXPECT_EQ(SystemRootImagePath(c.stripped), c.system_root_form);
    }
}

}  // namespace
}  // namespace vantrel
