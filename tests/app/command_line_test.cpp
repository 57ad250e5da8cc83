#include "app/command_line.h"

#include "platform/base/text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace vantrel {
namespace {

std::string Describe(const std::vector<std::wstring>& arguments) {
    std::wstring joined;
    for (const std::wstring& argument : arguments) joined += L"[" + argument + L"]";
    return vantrel_test::Printable(joined);
}

struct ArgumentsCase {
    std::initializer_list<const wchar_t*> arguments;
    TCommandKind kind;
    const wchar_t* out_folder;  // with Quiet
    const wchar_t* problem;     // part of the problem's text, with Invalid
};

TEST(CommandLine, TheArgumentRules) {
    using K = TCommandKind;
    const ArgumentsCase cases[] = {
        // no arguments: the window, as always
        {{}, K::Window, L"", L""},
        // the quiet run, "/" or "-", any letter case
        {{L"/quiet"}, K::Quiet, L"", L""},
        {{L"-QUIET"}, K::Quiet, L"", L""},
        {{L"/Quiet", L"/out", L"C:\\Reports"}, K::Quiet, L"C:\\Reports", L""},
        {{L"-OUT", L"d:\\", L"-quiet"}, K::Quiet, L"d:\\", L""},
        {{L"/quiet", L"/Out", L"\\\\fileserver\\VantrelReports$"}, K::Quiet, L"\\\\fileserver\\VantrelReports$", L""},
        {{L"/quiet", L"/out", L"\\\\10.0.0.5\\drop\\vantrel\\"}, K::Quiet, L"\\\\10.0.0.5\\drop\\vantrel\\", L""},
        {{L"/quiet", L"/out", L"C:\\Program Files (x86)\\Vantrel Reports"},
         K::Quiet,
         L"C:\\Program Files (x86)\\Vantrel Reports",
         L""},
        // the usage, alone only
        {{L"/?"}, K::Usage, L"", L""},
        {{L"-?"}, K::Usage, L"", L""},
        {{L"/quiet", L"/?"}, K::Invalid, L"", L"stands alone"},
        // unknown arguments
        {{L"/help"}, K::Invalid, L"", L"\"/help\" is no argument"},
        {{L"quiet"}, K::Invalid, L"", L"\"quiet\" is no argument"},
        {{L"/quiet", L"C:\\Reports"}, K::Invalid, L"", L"\"C:\\Reports\" is no argument"},
        {{L"/out:C:\\Reports", L"/quiet"}, K::Invalid, L"", L"is no argument"},
        {{L"/"}, K::Invalid, L"", L"is no argument"},
        {{L""}, K::Invalid, L"", L"is no argument"},
        // repeated
        {{L"/quiet", L"-Quiet"}, K::Invalid, L"", L"\"-Quiet\" is given twice"},
        {{L"/quiet", L"/out", L"C:\\a", L"/out", L"C:\\b"}, K::Invalid, L"", L"given twice"},
        // malformed: "/out" without a folder, or with no full folder path
        {{L"/quiet", L"/out"}, K::Invalid, L"", L"needs a folder"},
        {{L"/out", L"/quiet"}, K::Invalid, L"", L"\"/quiet\" is no full local or UNC folder path"},
        {{L"/quiet", L"/out", L""}, K::Invalid, L"", L"no full local or UNC folder path"},
        {{L"/quiet", L"/out", L"Reports"}, K::Invalid, L"", L"no full"},
        // "/out" without "/quiet"
        {{L"/out", L"C:\\Reports"}, K::Invalid, L"", L"\"/out\" needs \"/quiet\""},
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> arguments(c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(Describe(arguments));
        const TCommandLine command = ParseCommandLine(arguments);
        EXPECT_EQ(command.Kind, c.kind);
        if (c.kind == K::Quiet) {
            EXPECT_EQ(command.OutFolder, c.out_folder);
        }
        if (c.kind == K::Invalid) {
            EXPECT_NE(command.Problem.find(c.problem), std::wstring::npos) << vantrel_test::Printable(command.Problem);
        } else {
            EXPECT_EQ(command.Problem, L"");
        }
    }
}

TEST(CommandLine, OutFolderPaths) {
    struct Case {
        const wchar_t* folder;
        bool accepted;
    };
    const Case cases[] = {
        {L"C:\\", true},
        {L"z:\\Reports\\", true},
        {L"C:\\Reports\\..\\Other", true},  // made full before use
        {L"C:\\Vantrel Reports\\2024 (Q1)\\$drop", true},
        {L"\\\\server\\share", true},
        {L"\\\\server\\share\\", true},
        {L"\\\\server.example.com\\share$\\sub folder", true},
        // relative, drive-relative, root-relative
        {L"Reports", false},
        {L".\\Reports", false},
        {L"C:", false},
        {L"C:Reports", false},
        {L"\\Reports", false},
        // a quoted folder ending with a backslash reaches the program with
        // a quotation mark in its place
        {L"C:\\Vantrel Reports\"", false},
        {L"C:\\Vantrel Reports\" /quiet", false},
        // characters a path cannot hold, forward slashes, streams
        {L"C:/Reports", false},
        {L"C:\\Reports/x", false},
        {L"C:\\Re*ports", false},
        {L"C:\\Re?ports", false},
        {L"C:\\Re<p>orts|", false},
        {L"C:\\Reports:stream", false},
        {L"C:\\Re\tports", false},
        // UNC without a share, or not a server at all
        {L"\\\\server", false},
        {L"\\\\server\\", false},
        {L"\\\\server\\\\share", false},
        {L"\\\\\\share", false},
        {L"\\\\.\\pipe\\x", false},
        {L"\\\\..\\share", false},
        {L"\\\\?\\C:\\Reports", false},
        {L"\\\\?\\UNC\\server\\share", false},
        {L"1:\\Reports", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.folder));
        EXPECT_EQ(IsOutFolderPath(c.folder), c.accepted);
    }
}

TEST(CommandLine, TheUsageNamesTheProgramEverySwitchAndEveryExitCode) {
    const std::wstring usage = UsageText(L"VantrelInfoHelpV2.exe");
    EXPECT_TRUE(StartsWith(usage, L"VantrelInfoHelpV2.exe [/quiet [/out FOLDER]] | /?\r\n"));
    EXPECT_TRUE(EndsWith(usage, L"\r\n"));
    for (const wchar_t* part :
         {L"/quiet", L"/out FOLDER", L"/?", L"Vantrel_Debug_Info_<COMPUTERNAME>_<yyyymmddThhmmssZ>.zip", L"_2, _3",
          L"  0  ", L"  1  ", L"  2  ", L"  3  "}) {
        EXPECT_NE(usage.find(part), std::wstring::npos) << vantrel_test::Printable(part);
    }
    // Every line ends with CR LF and fits a console of 100 columns.
    std::size_t begin = 0;
    for (std::size_t end; (end = usage.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2) {
        const std::wstring line = usage.substr(begin, end - begin);
        EXPECT_EQ(line.find(L'\n'), std::wstring::npos);
        EXPECT_EQ(line.find(L'\r'), std::wstring::npos);
        EXPECT_LE(line.size(), 100u) << vantrel_test::Printable(line);
    }
    EXPECT_EQ(begin, usage.size());
}

TEST(CommandLine, TheQuietTargetIsNeverGuessed) {
    struct Case {
        const wchar_t* out_folder;
        const wchar_t* session_user;
        TQuietTarget expected;
    };
    const Case cases[] = {
        {L"\\\\server\\share", L"alice", TQuietTarget::OutFolder},
        {L"\\\\server\\share", L"", TQuietTarget::OutFolder},
        {L"", L"alice", TQuietTarget::UserDesktop},
        // SYSTEM at start-up, nobody logged on: no desktop to guess
        {L"", L"", TQuietTarget::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(std::wstring(c.out_folder) + L" / " + c.session_user));
        EXPECT_EQ(ChooseQuietTarget(c.out_folder, c.session_user), c.expected);
    }
}

}  // namespace
}  // namespace vantrel
