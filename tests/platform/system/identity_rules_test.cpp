#include "platform/system/identity_rules.h"

#include "platform/base/text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrel {
namespace {

using vantrel_test::Printable;

std::wstring Upper(const std::wstring& text) { return UpperAscii(text); }

TEST(Windows2000, OnlyVersionFiveZero) {
    EXPECT_TRUE(IsWindows2000Version(5, 0));
    EXPECT_FALSE(IsWindows2000Version(5, 1));
    EXPECT_FALSE(IsWindows2000Version(6, 0));
    EXPECT_FALSE(IsWindows2000Version(4, 0));
}

TEST(ProcessFileName, PartAfterTheLastBackslash) {
    struct Case {
        const wchar_t* exe;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"explorer.exe", L"explorer.exe"},
        {L"C:\\Windows\\explorer.exe", L"explorer.exe"},
        {L"\\??\\C:\\a b\\Tool.EXE", L"Tool.EXE"},
        {L"C:\\dir\\", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.exe));
        EXPECT_EQ(ProcessFileName(c.exe), c.name);
    }
}

// A snapshot with two shells of different users, the second one Alice's,
// and one whose owner cannot be read.
class SnapshotFixture : public testing::Test {
protected:
    const std::vector<TSnapshotProcess> snapshot_ = {
        {4, L"System"},        {100, L"C:\\Windows\\explorer.exe"}, {200, L"EXPLORER.EXE"}, {300, L"Explorer.exe"},
        {400, L"notepad.exe"},
    };
    const std::map<std::uint32_t, std::wstring> owners_ = {
        {4, L"SYSTEM"}, {100, L"bob"}, {200, L"Alice"}, {300, L""}, {400, L"alice"}};
    std::vector<std::uint32_t> asked_;

    std::uint32_t Find(const std::wstring& name, const std::wstring& user) {
        asked_.clear();
        return FirstProcessNamed(
            snapshot_, name, user,
            [this](std::uint32_t pid) {
                asked_.push_back(pid);
                return owners_.at(pid);
            },
            Upper);
    }
};

TEST_F(SnapshotFixture, FirstProcessByNameAndOwner) {
    struct Case {
        const wchar_t* name;
        const wchar_t* user;
        std::uint32_t pid;
    };
    const Case cases[] = {
        {L"explorer.exe", L"", 100},       // the first, whoever owns it
        {L"EXPLORER.exe", L"", 100},       // letter case of the wanted name ignored
        {L"explorer.exe", L"alice", 200},  // Alice's comes second
        {L"explorer.exe", L"BOB", 100},
        {L"explorer.exe", L"carol", 0},
        {L"explorer", L"", 0},  // the whole file name must match
        {L"notepad.exe", L"Alice", 400},
        {L"system", L"", 4},
        {L"cmd.exe", L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(std::wstring(c.name) + L"/" + c.user));
        EXPECT_EQ(Find(c.name, c.user), c.pid);
    }
}

TEST_F(SnapshotFixture, OwnersAreAskedOnlyForProcessesOfTheName) {
    EXPECT_EQ(Find(L"explorer.exe", L""), 100u);
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(Find(L"explorer.exe", L"nobody"), 0u);
    EXPECT_EQ(asked_, (std::vector<std::uint32_t>{100, 200, 300}));
}

TEST_F(SnapshotFixture, ActiveExplorerSessionSkipsUnknownAndInactiveSessions) {
    struct Case {
        std::map<std::uint32_t, std::uint32_t> sessions;  // pid -> session; missing: lookup fails
        std::vector<std::uint32_t> active;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{{100, 1}, {200, 2}, {300, 3}}, {1, 2, 3}, 1},
        {{{100, 1}, {200, 2}, {300, 3}}, {2, 3}, 2},         // the first shell's session is disconnected
        {{{200, 2}, {300, 3}}, {1, 2, 3}, 2},                // the first shell's session cannot be read
        {{{100, 1}, {200, 2}, {300, 3}, {400, 4}}, {4}, 0},  // only a non-shell process is active
        {{{100, 0}}, {0}, 0},                                // an active session 0 still reads as none
        {{}, {1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const std::uint32_t session = FirstActiveExplorerSession(
            snapshot_,
            [&c](std::uint32_t pid, std::uint32_t& id) {
                auto it = c.sessions.find(pid);
                if (it == c.sessions.end()) return false;
                id = it->second;
                return true;
            },
            [&c](std::uint32_t id) {
                for (std::uint32_t a : c.active) {
                    if (a == id) return true;
                }
                return false;
            },
            Upper);
        EXPECT_EQ(session, c.expected);
    }
}

TEST(ConsoleSession, ZeroAndNoConsoleAreNoAnswer) {
    EXPECT_FALSE(IsConsoleSessionAnswer(0));
    EXPECT_FALSE(IsConsoleSessionAnswer(0xFFFFFFFFu));
    EXPECT_TRUE(IsConsoleSessionAnswer(1));
    EXPECT_TRUE(IsConsoleSessionAnswer(0xFFFFFFFEu));
}

TEST(SessionUserName, SessionInterfaceFirstThenTheShellsOwner) {
    struct Case {
        bool windows_2000;
        bool query_ok;
        const wchar_t* session_user;
        const wchar_t* explorer_owner;
        const wchar_t* expected;
        bool queried;
    };
    const Case cases[] = {
        {false, true, L"alice", L"bob", L"alice", true},
        {false, true, L"SYSTEM", L"bob", L"bob", true},  // system counts as no user
        {false, true, L"sYsTeM", L"", L"", true},
        {false, true, L"systemd", L"bob", L"systemd", true},  // only the exact name counts
        {false, true, L"", L"bob", L"bob", true},
        {false, false, L"alice", L"bob", L"bob", true},  // a failed query's text is not used
        {true, true, L"alice", L"bob", L"bob", false},   // Windows 2000 never asks the session
        {true, true, L"alice", L"", L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(std::wstring(c.session_user) + L"/" + c.explorer_owner) +
                     (c.windows_2000 ? " on 2000" : ""));
        bool queried = false;
        const std::wstring name = ChooseSessionUserName(
            c.windows_2000,
            [&](std::wstring& out) {
                queried = true;
                out = c.session_user;
                return c.query_ok;
            },
            [&] { return std::wstring(c.explorer_owner); });
        EXPECT_EQ(name, c.expected);
        EXPECT_EQ(queried, c.queried);
    }
}

}  // namespace
}  // namespace vantrel
