#include "platform/system/version_info.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vantrel {
namespace {

// The product's own version resource, as the report header reads it.
TEST(ProductResources, HeaderVersionIsTheFileVersionString) {
    const char* exe = std::getenv("VANTREL_EXE");
    ASSERT_NE(exe, nullptr);
    const std::wstring path = vantrel_test::UnixToWindowsPath(exe);
    EXPECT_EQ(GetFileInfoItem(path, 3, L"Unknown"), L"1.1.0.298");
    EXPECT_EQ(GetFileInfoItem(path, 9, L"Unknown"), L"1.0.0.0");
    EXPECT_EQ(GetFileVersionNumber(path), L"1.1.0.298");
}

}  // namespace
}  // namespace vantrel
