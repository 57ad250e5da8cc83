#include "report/autoruns.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vantrel {
namespace {

using vantrel_test::Printable;

std::string Joined(const TStringList& list) {
    std::string out;
    for (const auto& s : list) out += "[" + Printable(s) + "]";
    return out;
}

TEST(SplitOnChar, EmptySegmentsDroppedSpacesKept) {
    struct Case {
        const wchar_t* text;
        TStringList parts;
    };
    const Case cases[] = {
        {L"||x", {L"x"}},
        {L"a|b|c d", {L"a", L"b", L"c d"}},
        {L"setup.dll|Install|/q", {L"setup.dll", L"Install", L"/q"}},
        {L"a||b|", {L"a", L"b"}},
        {L" | ", {L" ", L" "}},
        {L"plain", {L"plain"}},
        {L"|", {}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        TStringList parts = {L"left over"};
        EXPECT_EQ(SplitOnChar(L'|', c.text, parts), c.parts.size());
        EXPECT_EQ(Joined(parts), Joined(c.parts));
    }
}

TEST(DelimitedList, QuotesCommasAndSpaces) {
    struct Case {
        const wchar_t* text;
        TStringList items;
    };
    const Case cases[] = {
        {L"myshell.exe,explorer.exe", {L"myshell.exe", L"explorer.exe"}},
        // spaces separate items as commas do; quotes keep a path whole
        {L"C:\\Program Files\\a.exe", {L"C:\\Program", L"Files\\a.exe"}},
        {L"\"C:\\Program Files\\a.exe\"", {L"C:\\Program Files\\a.exe"}},
        {L"\"C:\\Program Files\\a.exe\", b.exe", {L"C:\\Program Files\\a.exe", L"b.exe"}},
        // a doubled quote inside quotes stands for one
        {L"\"say \"\"hi\"\"\",x", {L"say \"hi\"", L"x"}},
        // an unclosed quote takes the rest of the text
        {L"a,\"b, c", {L"a", L"b, c"}},
        // a comma at the very end adds one empty item; spaces around commas are skipped
        {L"C:\\Windows\\system32\\userinit.exe,", {L"C:\\Windows\\system32\\userinit.exe", L""}},
        {L"  a ,  b\t,c  ", {L"a", L"b", L"c"}},
        {L"a, ", {L"a"}},
        {L",a", {L"", L"a"}},
        {L"a,,b", {L"a", L"", L"b"}},
        // a quoted item keeps its inner spaces and the text after its closing quote is a new item
        {L"\" a \"b", {L" a ", L"b"}},
        {L"", {}},
        {L" \t ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        EXPECT_EQ(Joined(SplitDelimitedList(c.text)), Joined(c.items));
    }
}

TEST(DelimitedValueLines, BlankItemsLeftOutAndOnlyALeadingDefaultSkipped) {
    const std::wstring sys = L"C:\\Windows\\system32";
    const std::wstring win = L"C:\\Windows";
    struct Case {
        const wchar_t* text;
        const wchar_t* default_program;
        TStringList lines;
    };
    const Case cases[] = {
        {L"explorer.exe", L"explorer.exe", {}},
        {L"myshell.exe,explorer.exe", L"explorer.exe", {L"myshell.exe", L"explorer.exe"}},
        {L"explorer.exe,explorer.exe", L"explorer.exe", {L"explorer.exe"}},
        {L"EXPLORER.EXE", L"explorer.exe", {}},
        {L"c:\\windows\\Explorer.exe", L"explorer.exe", {}},
        {L"C:\\WINDOWS\\SYSTEM32\\userinit.exe,", L"userinit.exe", {}},
        {L"C:\\Windows\\system32\\userinit.exe,extra.exe", L"userinit.exe", {L"extra.exe"}},
        // other folders, and other names, are not the default
        {L"D:\\Windows\\explorer.exe", L"explorer.exe", {L"D:\\Windows\\explorer.exe"}},
        {L"C:\\Windows\\system\\explorer.exe", L"explorer.exe", {L"C:\\Windows\\system\\explorer.exe"}},
        {L"explorer", L"explorer.exe", {L"explorer"}},
        {L"\"explorer.exe \"", L"explorer.exe", {L"explorer.exe "}},
        // a blank first item does not move the comparison to the second
        {L",explorer.exe", L"explorer.exe", {L"explorer.exe"}},
        // a plain delimited list skips nothing
        {L"explorer.exe", L"", {L"explorer.exe"}},
        {L"a.exe b.exe", L"", {L"a.exe", L"b.exe"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        EXPECT_EQ(Joined(DelimitedValueLines(c.text, c.default_program, sys, win)), Joined(c.lines));
    }
}

TEST(RunOnceEx, ThreeIndependentLines) {
    struct Case {
        const wchar_t* text;
        TStringList lines;
    };
    const Case cases[] = {
        {L"setup.dll|Install|/q",
         {L"rundll32.exe setup.dll", L"rundll32.exe setup.dll,Install", L"rundll32.exe setup.dll,Install /q"}},
        {L"setup.dll", {L"rundll32.exe setup.dll"}},
        {L"setup.dll|Install", {L"rundll32.exe setup.dll", L"rundll32.exe setup.dll,Install"}},
        // blank parts are tested trimmed but printed as they stand
        {L" |  |notepad.exe x.txt", {L"notepad.exe x.txt"}},
        {L"a.dll| |/s", {L"rundll32.exe a.dll", L"rundll32.exe a.dll,  /s"}},
        {L" |Entry|/s", {L"rundll32.exe  ,Entry", L"rundll32.exe  ,Entry /s"}},
        // empty segments are dropped before the parts are numbered
        {L"||cmd.exe", {L"rundll32.exe cmd.exe"}},
        {L"a|b|c|d", {L"rundll32.exe a", L"rundll32.exe a,b", L"rundll32.exe a,b c"}},
        {L"", {}},
        {L"   ", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        EXPECT_EQ(Joined(RunOnceExLines(c.text)), Joined(c.lines));
    }
}

TEST(StartupFiles, SkipListAndShortcuts) {
    EXPECT_TRUE(IsStartupSkipName(L"desktop.ini"));
    EXPECT_TRUE(IsStartupSkipName(L"Desktop.INI"));
    EXPECT_TRUE(IsStartupSkipName(L"thumbs.db"));
    EXPECT_FALSE(IsStartupSkipName(L"desktop.ini.bak"));
    EXPECT_FALSE(IsStartupSkipName(L"Thumbs.db2"));
    EXPECT_TRUE(IsShortcutFile(L"C:\\s\\App.LNK"));
    EXPECT_FALSE(IsShortcutFile(L"C:\\s.lnk\\app.exe"));
    EXPECT_FALSE(IsShortcutFile(L"C:\\s\\app.lnk2"));
    EXPECT_EQ(ShellLinkLine(L"C:\\App\\app.exe", L"-tray"), L"\"C:\\App\\app.exe\" -tray");
    EXPECT_EQ(ShellLinkLine(L"C:\\App\\app.exe", L""), L"\"C:\\App\\app.exe\" ");
}

// A reader that answers from a map of row index to lines.
struct FakeSources {
    std::vector<std::pair<std::size_t, TStringList>> answers;
    std::vector<std::size_t> visited;
    void operator()(const TLaunchSource& source, TStringList& lines) {
        std::size_t row = static_cast<std::size_t>(&source - kLaunchSources);
        visited.push_back(row);
        for (const auto& a : answers) {
            if (a.first == row) lines.insert(lines.end(), a.second.begin(), a.second.end());
        }
    }
};

std::size_t RowOf(const wchar_t* heading, TAutorunRoot root, bool wow64_only, const wchar_t* value = nullptr) {
    for (std::size_t i = 0; i < kLaunchSourceCount; ++i) {
        const TLaunchSource& s = kLaunchSources[i];
        if (std::wstring(s.Heading) == heading && s.Root == root && s.Wow64Only == wow64_only &&
            (value == nullptr || (s.ValueName != nullptr && std::wstring(s.ValueName) == value))) {
            return i;
        }
    }
    throw std::logic_error("no such row");
}

TEST(AutorunsAssembly, NothingFoundGivesTheTitleAlone) {
    FakeSources fake;
    TStringList lines = AssembleAutoruns(kLaunchSources, kLaunchSourceCount, true, std::ref(fake));
    EXPECT_EQ(Joined(lines), Joined({L"", L"===== Autoruns =====", L""}));
    EXPECT_EQ(fake.visited.size(), kLaunchSourceCount);
}

TEST(AutorunsAssembly, HeadingsOnlyBeforeGroupsThatAddLines) {
    FakeSources fake;
    fake.answers = {
        {0, {L"C:\\u\\Startup\\a.exe"}},
        {RowOf(L"---------- Run ----------", TAutorunRoot::LocalMachine, false), {L"Tool=C:\\T\\tool.exe /min"}},
        {RowOf(L"---------- Run ----------", TAutorunRoot::CurrentUser, false), {L"=default"}},
        {RowOf(L"---------- Windows Shell ----------", TAutorunRoot::LocalMachine, false, L"Shell"),
         {L"myshell.exe", L"explorer.exe"}},
    };
    TStringList lines = AssembleAutoruns(kLaunchSources, kLaunchSourceCount, false, std::ref(fake));
    EXPECT_EQ(Joined(lines),
              Joined({L"", L"===== Autoruns =====", L"", L"---------- Startup ----------", L"C:\\u\\Startup\\a.exe",
                      L"---------- Run ----------", L"=default", L"Tool=C:\\T\\tool.exe /min",
                      L"---------- Windows Shell ----------", L"myshell.exe", L"explorer.exe"}));
}

TEST(AutorunsAssembly, Wow6432NodeRowsAreReadOnlyUnderWow64) {
    for (bool wow64 : {false, true}) {
        SCOPED_TRACE(wow64);
        FakeSources fake;
        AssembleAutoruns(kLaunchSources, kLaunchSourceCount, wow64, std::ref(fake));
        std::size_t node_rows = 0;
        for (std::size_t row : fake.visited) {
            const TLaunchSource& s = kLaunchSources[row];
            bool names_node = s.Key != nullptr && std::wstring(s.Key).find(L"Wow6432Node") != std::wstring::npos;
            EXPECT_EQ(names_node, s.Wow64Only) << row;
            if (names_node) ++node_rows;
        }
        EXPECT_EQ(node_rows > 0, wow64);
        // rows are read in table order
        for (std::size_t i = 1; i < fake.visited.size(); ++i) EXPECT_LT(fake.visited[i - 1], fake.visited[i]);
    }
}

TEST(AutorunsAssembly, AnErrorInAReaderPassesToTheCaller) {
    auto failing = [](const TLaunchSource& source, TStringList& lines) {
        if (source.Reader == TAutorunReader::RunOnceEx) throw std::runtime_error("Invalid data type for 'x'");
        lines.push_back(L"line");
    };
    EXPECT_THROW(AssembleAutoruns(kLaunchSources, kLaunchSourceCount, false, failing), std::runtime_error);
}

}  // namespace
}  // namespace vantrel
