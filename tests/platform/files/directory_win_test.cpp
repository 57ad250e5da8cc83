#include "platform/files/directory_win.h"

#include "platform/base/file_io_win.h"
#include "platform/files/safe_paths.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace vantrel {
namespace {

using vantrel_test::MakeLink;
using vantrel_test::ReadFileBytes;
using vantrel_test::TempFolder;
using vantrel_test::TreeOf;
using vantrel_test::WriteFileBytes;

// A folder tree with names the plain Win32 forms get wrong: a trailing dot,
// a trailing space, a device name, a path over 260 characters.
void SeedHostileNames(const std::wstring& root) {
    const std::wstring extended = ExtendedLengthPath(root);
    WriteFileBytes(root + L"a.txt", "a");
    ::SetFileAttributesW((root + L"a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(root + L"sub\\b.txt", "b");
    WriteFileBytes(extended + L"dup.log.", "dot");
    WriteFileBytes(extended + L"space ", "space");
    WriteFileBytes(extended + L"con.log", "device");
    std::wstring deep = extended + std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e') + L"\\";
    ::CreateDirectoryW((extended + std::wstring(120, L'd')).c_str(), nullptr);
    ::CreateDirectoryW(ExcludeTrailingBackslash(deep).c_str(), nullptr);
    WriteFileBytes(deep + std::wstring(100, L'f') + L".txt", "long");
}

TEST(DeleteDirTree, RemovesTheFolderWithEverythingInIt) {
    TempFolder temp{L"tree"};
    const std::wstring root = temp.Path() + L"victim\\";
    SeedHostileNames(root);
    ASSERT_EQ(TreeOf(ExtendedLengthPath(root)).size(), 9u);
    EXPECT_TRUE(DeleteDirTree(root));
    EXPECT_EQ(TreeOf(ExtendedLengthPath(root)), std::vector<std::wstring>{});
    EXPECT_FALSE(DirectoryExists(root));
    EXPECT_TRUE(DirectoryExists(temp.Path()));
    EXPECT_FALSE(DeleteDirTree(temp.Path() + L"never-there\\"));
}

// A link inside the folder is not followed: what it points to stays whole.
// The shell's deletion, which the tool used before, empties it.
TEST(DeleteDirTree, NeverFollowsALink) {
    TempFolder temp{L"tree links"};
    const std::wstring outside = temp.Path() + L"outside\\";
    WriteFileBytes(outside + L"canary.txt", "canary");
    WriteFileBytes(outside + L"deeper\\canary2.txt", "canary");
    for (bool shell : {false, true}) {
        SCOPED_TRACE(shell ? "the shell's deletion" : "the tool's own walk");
        const std::wstring root = temp.Path() + L"victim\\";
        WriteFileBytes(root + L"own.txt", "own");
        ASSERT_TRUE(MakeLink(root + L"folder link", outside));
        ASSERT_TRUE(MakeLink(root + L"file link", outside + L"canary.txt"));
        if (shell) {
            std::wstring from = ExcludeTrailingBackslash(root);
            from.push_back(L'\0');
            SHFILEOPSTRUCTW op = {};
            op.wFunc = FO_DELETE;
            op.pFrom = from.c_str();
            op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
            ::SHFileOperationW(&op);
            EXPECT_NE(TreeOf(outside), (std::vector<std::wstring>{L"canary.txt", L"deeper\\", L"deeper\\canary2.txt"}));
        } else {
            DeleteDirTree(root);
            EXPECT_EQ(TreeOf(outside), (std::vector<std::wstring>{L"canary.txt", L"deeper\\", L"deeper\\canary2.txt"}));
            EXPECT_EQ(ReadFileBytes(outside + L"canary.txt"), "canary");
            EXPECT_FALSE(FileExists(root + L"own.txt"));
        }
        vantrel_test::RemoveLink(root + L"folder link");
        vantrel_test::RemoveLink(root + L"file link");
        vantrel_test::RemoveTree(root);
        vantrel_test::RemoveTree(outside);
        WriteFileBytes(outside + L"canary.txt", "canary");
        WriteFileBytes(outside + L"deeper\\canary2.txt", "canary");
    }
}

// The folder itself swapped for a link: nothing is removed, above all not
// what the link points to; and a folder that is no longer where it was made
// is not touched.
TEST(DeleteDirTree, AFolderThatIsALinkOrMovedIsNotEntered) {
    TempFolder temp{L"tree swapped"};
    const std::wstring outside = temp.Path() + L"outside\\";
    WriteFileBytes(outside + L"canary.txt", "canary");
    ASSERT_TRUE(MakeLink(temp.Path() + L"victim", outside));
    EXPECT_FALSE(DeleteDirTree(temp.Path() + L"victim\\"));
    EXPECT_EQ(ReadFileBytes(outside + L"canary.txt"), "canary");
    vantrel_test::RemoveLink(temp.Path() + L"victim");

    const std::wstring made = temp.Path() + L"made\\";
    WriteFileBytes(made + L"x.txt", "x");
    TFileId expected;
    {
        ScopedFileHandle handle = OpenNoFollow(made, FILE_READ_ATTRIBUTES);
        ASSERT_TRUE(FileIdOf(handle.Get(), expected));
    }
    ASSERT_TRUE(::MoveFileW(ExcludeTrailingBackslash(made).c_str(), (temp.Path() + L"elsewhere").c_str()));
    ASSERT_TRUE(::MoveFileW(ExcludeTrailingBackslash(outside).c_str(), ExcludeTrailingBackslash(made).c_str()));
    EXPECT_FALSE(DeleteDirTree(made, expected));
    EXPECT_EQ(ReadFileBytes(made + L"canary.txt"), "canary");
}

TEST(ListDirectory, MarksLinksOnly) {
    TempFolder temp{L"listing"};
    WriteFileBytes(temp.Path() + L"real\\x.txt", "x");
    WriteFileBytes(temp.Path() + L"plain.txt", "p");
    ASSERT_TRUE(MakeLink(temp.Path() + L"link", temp.Path() + L"real"));
    std::vector<std::wstring> links, folders;
    for (const TDirEntry& entry : ListDirectory(temp.Path())) {
        if (entry.IsLink) links.push_back(entry.Name);
        if (entry.IsFolder) folders.push_back(entry.Name);
    }
    EXPECT_EQ(links, std::vector<std::wstring>{L"link"});
    EXPECT_EQ(folders, (std::vector<std::wstring>{L".", L"..", L"link", L"real"}));
    vantrel_test::RemoveLink(temp.Path() + L"link");
}

}  // namespace
}  // namespace vantrel
