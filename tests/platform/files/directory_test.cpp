#include "platform/files/directory.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrel {
namespace {

// A folder tree in memory; folder paths end with a backslash.
class FakeTree {
public:
    void Add(const std::wstring& folder, std::vector<TDirEntry> entries) { folders_[folder] = std::move(entries); }
    std::vector<TDirEntry> operator()(const std::wstring& folder) {
        ++listings_[folder];
        auto it = folders_.find(folder);
        if (it == folders_.end()) return {};
        std::vector<TDirEntry> entries = {{L".", true, false}, {L"..", true, false}};
        entries.insert(entries.end(), it->second.begin(), it->second.end());
        return entries;
    }
    int Listings(const std::wstring& folder) const {
        auto it = listings_.find(folder);
        return it == listings_.end() ? 0 : it->second;
    }

private:
    std::map<std::wstring, std::vector<TDirEntry>> folders_;
    std::map<std::wstring, int> listings_;
};

TDirEntry File(const wchar_t* name) { return {name, false, false}; }
TDirEntry Folder(const wchar_t* name) { return {name, true, false}; }
TDirEntry Link(const wchar_t* name) { return {name, true, true}; }
TDirEntry FileLink(const wchar_t* name) { return {name, false, true}; }

TEST(WalkFiles, DepthFirstInListingOrder) {
    FakeTree tree;
    tree.Add(L"C:\\I\\", {File(L"a.txt"), Folder(L"bin"), File(L"z.txt"), Folder(L"empty")});
    tree.Add(L"C:\\I\\bin\\", {Folder(L"deep"), File(L"b.dll")});
    tree.Add(L"C:\\I\\bin\\deep\\", {File(L"c.dat")});
    tree.Add(L"C:\\I\\empty\\", {});
    TStringList list = {L"kept"};
    WalkFiles(L"C:\\I", list, std::ref(tree));
    EXPECT_EQ(list, (TStringList{L"kept", L"C:\\I\\a.txt", L"C:\\I\\bin\\deep\\c.dat", L"C:\\I\\bin\\b.dll",
                                 L"C:\\I\\z.txt"}));
}

TEST(WalkFiles, SvnFoldersAreSkippedInExactCaseOnly) {
    FakeTree tree;
    tree.Add(L"C:\\I\\", {Folder(L".svn"), Folder(L".SVN"), Folder(L"sub")});
    tree.Add(L"C:\\I\\.svn\\", {File(L"entries")});
    tree.Add(L"C:\\I\\.SVN\\", {File(L"listed")});
    tree.Add(L"C:\\I\\sub\\", {Folder(L".svn"), File(L"s.txt")});
    tree.Add(L"C:\\I\\sub\\.svn\\", {File(L"entries")});
    TStringList list;
    WalkFiles(L"C:\\I\\", list, std::ref(tree));
    EXPECT_EQ(list, (TStringList{L"C:\\I\\.SVN\\listed", L"C:\\I\\sub\\s.txt"}));
    EXPECT_EQ(tree.Listings(L"C:\\I\\.svn\\"), 0);
}

TEST(WalkFiles, LinksAreNeitherEnteredNorListed) {
    // A junction back to the root would repeat the tree without end; one to
    // another drive would wander outside the folder.
    FakeTree tree;
    tree.Add(L"C:\\I\\", {File(L"a.txt"), Link(L"loop"), Link(L"elsewhere"), Folder(L"real")});
    tree.Add(L"C:\\I\\loop\\", {File(L"a.txt"), Link(L"loop"), Link(L"elsewhere"), Folder(L"real")});
    tree.Add(L"C:\\I\\elsewhere\\", {File(L"secret.txt")});
    tree.Add(L"C:\\I\\real\\", {File(L"r.txt"), Link(L"up"), FileLink(L"other-account.txt")});
    TStringList list;
    WalkFiles(L"C:\\I\\", list, std::ref(tree));
    EXPECT_EQ(list, (TStringList{L"C:\\I\\a.txt", L"C:\\I\\real\\r.txt"}));
    EXPECT_EQ(tree.Listings(L"C:\\I\\loop\\"), 0);
    EXPECT_EQ(tree.Listings(L"C:\\I\\elsewhere\\"), 0);
}

TEST(WalkFiles, EmptyFolderTextListsNothing) {
    FakeTree tree;
    tree.Add(L"\\", {File(L"root.txt")});
    TStringList list;
    WalkFiles(L"", list, std::ref(tree));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(tree.Listings(L"\\"), 0);
}

}  // namespace
}  // namespace vantrel
