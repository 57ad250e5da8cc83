#include "platform/system/impersonation_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

bool ThreadHasToken() {
    HANDLE token = nullptr;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return false;
    ::CloseHandle(token);
    return true;
}

TEST(SessionUserImpersonation, ActsAsTheShellsUserUntilItEnds) {
    ASSERT_FALSE(ThreadHasToken());
    {
        const TUserRights rights = TUserRights::OfSessionUser();
        TActAsUser as_user(rights);
        EXPECT_TRUE(as_user.Active());  // the test prefix has a shell of the session user
        EXPECT_EQ(ThreadHasToken(), as_user.Active());
    }
    EXPECT_FALSE(ThreadHasToken());
}

}  // namespace
}  // namespace vantrel
