#include "platform/directory_win.h"

#include "platform/file_io_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

TEST(DeleteDirTree, RemovesTheFolderWithEverythingInIt) {
    TempFolder temp{L"tree"};
    const std::wstring root = temp.Path() + L"victim\\";
    WriteFileBytes(root + L"a.txt", "a");
    WriteFileBytes(root + L"sub\\b.txt", "b");
    ::SetFileAttributesW((root + L"a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteDirTree(root));
    EXPECT_FALSE(DirectoryExists(root));
    EXPECT_TRUE(DirectoryExists(temp.Path()));
    EXPECT_FALSE(DeleteDirTree(temp.Path() + L"never-there\\"));
}


}  // namespace
}  // namespace vantrel
