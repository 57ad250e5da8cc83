#include "report/installed_files.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TEST(InventoryLine, LabelsAndDates) {
    const TLocaleFormats us;  // M/d/yyyy h:mm:ss tt
    const std::wstring md5 = L"d41d8cd98f00b204e9800998ecf8427e";
    struct Case {
        const wchar_t* relative;
        const wchar_t* version;
        TDateTimeParts written;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"bin\\codec.dll", L"1.0.0.1", TDateTimeParts{2016, 3, 14, 10, 2, 33},
         L"bin\\codec.dll   Ver:1.0.0.1   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:3/14/2016 10:02:33 AM"},
        {L"readme.txt", L"", TDateTimeParts{2016, 3, 14, 22, 2, 33, 500},
         L"readme.txt   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:3/14/2016 10:02:33 PM"},
        // exactly midnight (milliseconds do not count): the date alone
        {L"a.dat", L"", TDateTimeParts{2020, 1, 2, 0, 0, 0, 750}, L"a.dat   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:1/2/2020"},
        {L"a.dat", L"", TDateTimeParts{2020, 1, 2, 0, 0, 1}, L"a.dat   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:1/2/2020 12:00:01 AM"},
        // the zero date-time of a file whose attributes cannot be read
        {L"gone.dll", L"", TDateTimeParts(), L"gone.dll   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:12/30/1899"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.expected));
        EXPECT_EQ(FormatInventoryLine(c.relative, c.version, md5, c.written, us), c.expected);
    }
    TLocaleFormats german;
    german.ShortDatePattern = L"dd.MM.yyyy";
    german.LongTimePattern = L"HH:mm:ss";
    EXPECT_EQ(FormatInventoryLine(L"x", L"", md5, TDateTimeParts{2016, 3, 4, 9, 2, 3}, german),
              L"x   Ver:   MD5:" + md5 + L"   DT:04.03.2016 09:02:03");
}

TEST(InventoryRules, ResourcesFolderAndRelativePaths) {
    const std::wstring dir = L"C:\\Program Files\\Vantrel\\";
    struct Case {
        const wchar_t* path;
        bool excluded;
        const wchar_t* relative;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Vantrel\\Vantrel.exe", false, L"Vantrel.exe"},
        {L"C:\\Program Files\\Vantrel\\bin\\codec.dll", false, L"bin\\codec.dll"},
        {L"C:\\Program Files\\Vantrel\\iTunes.Resources\\a.plist", true, L"iTunes.Resources\\a.plist"},
        {L"C:\\Program Files\\Vantrel\\iTunes.Resources\\en.lproj\\b.strings", true,
         L"iTunes.Resources\\en.lproj\\b.strings"},
        // other letter case, or deeper in the tree, is not the excluded folder
        {L"C:\\Program Files\\Vantrel\\itunes.resources\\a.plist", false, L"itunes.resources\\a.plist"},
        {L"C:\\Program Files\\Vantrel\\sub\\iTunes.Resources\\a.plist", false, L"sub\\iTunes.Resources\\a.plist"},
        {L"C:\\Program Files\\Vantrel\\iTunes.Resources.bak\\a", false, L"iTunes.Resources.bak\\a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(IsInResourcesFolder(c.path, dir), c.excluded);
        EXPECT_EQ(RelativeToFolder(c.path, dir), c.relative);
    }
}

TEST(InventoryRules, InstallDirFallsBackToTheModuleFolderAndEndsWithBackslash) {
    EXPECT_EQ(InstallDirFrom(L"C:\\Program Files\\Vantrel", L"C:\\Tools\\tool.exe"), L"C:\\Program Files\\Vantrel\\");
    EXPECT_EQ(InstallDirFrom(L"C:\\Program Files\\Vantrel\\", L"C:\\Tools\\tool.exe"), L"C:\\Program Files\\Vantrel\\");
    EXPECT_EQ(InstallDirFrom(L"", L"C:\\Tools\\tool.exe"), L"C:\\Tools\\");
}

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

TEST(WalkFiles, ReparsePointFoldersAreNotEntered) {
    // A junction back to the root would repeat the tree without end; one to
    // another drive would wander outside the folder.
    FakeTree tree;
    tree.Add(L"C:\\I\\", {File(L"a.txt"), Link(L"loop"), Link(L"elsewhere"), Folder(L"real")});
    tree.Add(L"C:\\I\\loop\\", {File(L"a.txt"), Link(L"loop"), Link(L"elsewhere"), Folder(L"real")});
    tree.Add(L"C:\\I\\elsewhere\\", {File(L"secret.txt")});
    tree.Add(L"C:\\I\\real\\", {File(L"r.txt"), Link(L"up")});
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
