#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/system/folders_win.h"
#include "platform/system/identity_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::UniqueSuffix;

// Wine starts its shell process with the first program that needs the
// desktop; asking for the desktop window makes sure it runs.
class IdentityTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        InitIdentity();
        ::GetDesktopWindow();
    }
};

TEST_F(IdentityTest, StartUpValues) { EXPECT_FALSE(IsWindows2000()); }

TEST_F(IdentityTest, SessionUserIsTheLoggedOnAccount) {
    const std::wstring user = GetSessionUserName();
    EXPECT_FALSE(user.empty());
    EXPECT_TRUE(EqualsNoCaseAscii(user, GetCurrentUserName())) << Printable(user);
}

TEST_F(IdentityTest, ProcessUserName) {
    const std::wstring own = GetProcessUserName(::GetCurrentProcessId());
    EXPECT_EQ(own, GetCurrentUserName());
    EXPECT_EQ(own.find(L'\\'), std::wstring::npos);
    EXPECT_EQ(GetProcessUserName(0), L"");
    EXPECT_EQ(GetProcessUserName(0xFFFFFFF0u), L"");  // no such process
}

TEST_F(IdentityTest, FindsProcessesByFileNameAndOwner) {
    const DWORD explorer = FindExplorerProcess(L"");
    ASSERT_NE(explorer, 0u);
    EXPECT_EQ(FindProcessByName(L"EXPLORER.EXE", L""), explorer);
    EXPECT_EQ(FindExplorerProcess(UpperAscii(GetCurrentUserName())), explorer);
    EXPECT_EQ(FindExplorerProcess(L"nobody_" + UniqueSuffix()), 0u);
    EXPECT_EQ(FindProcessByName(L"explorer", L""), 0u);

    // this test program is the only process of its name in the prefix
    EXPECT_EQ(FindProcessByName(ExtractFileName(GetModulePath()), L""), ::GetCurrentProcessId());
}

TEST_F(IdentityTest, TokenOfTheShellAndItsIntegrityLevel) {
    ScopedKernelHandle token(GetTokenByName(L"explorer.exe", GetSessionUserName()));
    ASSERT_TRUE(token);
    // Wine runs every process of the prefix with the elevated level.
    EXPECT_EQ(GetTokenIntegrityLevel(token.Get()), 0x3000u);
    EXPECT_EQ(GetTokenIntegrityLevel(nullptr), 0u);
}

TEST_F(IdentityTest, NoTokenWithoutAMatchingProcess) {
    EXPECT_EQ(GetTokenByName(L"no_such_program_" + UniqueSuffix() + L".exe", L""), nullptr);
    EXPECT_EQ(GetTokenByName(L"explorer.exe", L"nobody_" + UniqueSuffix()), nullptr);
}

TEST_F(IdentityTest, ActiveSessionComesFromTheConsole) {
    DWORD shell_session = 0;
    ASSERT_TRUE(::ProcessIdToSessionId(FindExplorerProcess(L""), &shell_session));
    EXPECT_EQ(GetActiveSessionId(), shell_session);
    // Wine's session interface cannot tell a session's connection state, so
    // no shell counts as one of an active session.
    EXPECT_EQ(FindActiveExplorerSession(), 0u);
}

}  // namespace
}  // namespace vantrel
