#include "app/shell_launch_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/base/win.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

// Explorer is named by its full path in the Windows folder, never looked up
// by bare name (which would start an explorer.exe planted in the current or
// the program's folder, with the tool's rights).
TEST(ExplorerPath, TheWindowsFoldersExplorer) {
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring path = ExplorerPath();
    EXPECT_TRUE(EqualsNoCaseAscii(path, std::wstring(windows, length) + L"\\explorer.exe")) << Printable(path);
    EXPECT_TRUE(FileExists(path)) << Printable(path);
}

}  // namespace
}  // namespace vantrel
