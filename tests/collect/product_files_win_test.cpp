#include "collect/product_files_win.h"

#include "collect/log_tail_win.h"
#include "platform/file_io_win.h"
#include "platform/folders_win.h"
#include "platform/handles_win.h"
#include "platform/wow64_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::LogTail;
using vantrel_test::Printable;
using vantrel_test::ReadFileBytes;
using vantrel_test::RemoveTree;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

const wchar_t kInstall[] = L"Program Files\\Vantrel\\";
const wchar_t kUpdater[] = L"Updater\\";
const wchar_t kVnt[] = L"Roaming\\Vantrel\\VNT\\";

// A seeded file below the test's root and where its copy lands below the
// working folder (null: it must not be copied).
struct SeedFile {
    const wchar_t* source;
    const wchar_t* copy;
};

const SeedFile kSeed[] = {
    {L"Program Files\\Vantrel\\Vantrel.log", L"AppPath\\Vantrel.log"},
    {L"Program Files\\Vantrel\\VNTUpdater.log", L"AppPath\\VNTUpdater.log"},
    {L"Program Files\\Vantrel\\crashnote.txt", L"AppPath\\crashnote.txt"},
    {L"Program Files\\Vantrel\\Faults.log", L"AppPath\\Faults.log"},
    {L"Program Files\\Vantrel\\other.log", nullptr},
    {L"Program Files\\Vantrel\\Aerovell\\logs\\a.log", L"AppPath\\Aerovell\\logs\\a.log"},
    {L"Program Files\\Vantrel\\Aerovell\\logs\\B.log", L"AppPath\\Aerovell\\logs\\B.log"},
    {L"Program Files\\Vantrel\\Aerovell\\logs\\notes.txt", nullptr},
    {L"Program Files\\Vantrel\\Aerovell\\logs\\old\\c.log", nullptr},
    {L"Updater\\Fetcher.log", L"Updater\\Fetcher.log"},
    {L"Updater\\update\\stageplan.spt", L"Updater\\update\\stageplan.spt"},
    {L"Roaming\\Vantrel\\VNT\\DataBase\\main.db", L"AppData\\DataBase\\main.db"},
    {L"Roaming\\Vantrel\\VNT\\DataBase\\History.TXT", nullptr},
    {L"Roaming\\Vantrel\\VNT\\DataBase\\idx\\deep.db", nullptr},
    {L"Roaming\\Vantrel\\VNT\\Sync\\s1.dat", L"AppData\\Sync\\s1.dat"},
    {L"Roaming\\Vantrel\\VNT\\Sync\\history.txt", nullptr},
    {L"Roaming\\Vantrel\\VNT\\core.ini", L"AppData\\core.ini"},
    {L"Roaming\\Vantrel\\VNT\\log\\Vantrel.log", L"AppData\\log\\Vantrel.log"},
    {L"Roaming\\Vantrel\\VNT\\log\\Vantrel.log.bak1", L"AppData\\log\\Vantrel.log.bak1"},
    {L"Roaming\\Vantrel\\VNT\\Pulls.db", L"AppData\\Pulls.db"},
    {L"Roaming\\Vantrel\\VNT\\handset vault\\loose.bin", nullptr},
    {L"Roaming\\Vantrel\\VNT\\handset vault\\A\\a1.bin", L"AppData\\handset vault\\A\\a1.bin"},
    {L"Roaming\\Vantrel\\VNT\\handset vault\\A\\history.txt", nullptr},
    {L"Roaming\\Vantrel\\VNT\\handset vault\\A\\deeper\\x.bin", nullptr},
    {L"Roaming\\Vantrel\\VNT\\handset vault\\B\\b1.bin", L"AppData\\handset vault\\B\\b1.bin"},
    {L"Roaming\\Vantrel\\VNT\\handset vault\\B\\b2.bin", L"AppData\\handset vault\\B\\b2.bin"},
};
// Hidden files are collected like any other.
const SeedFile kHidden = {L"Roaming\\Vantrel\\VNT\\DataBase\\cache.db", L"AppData\\DataBase\\cache.db"};

// Distinct bytes for every file, zero bytes and high bytes included.
std::string ContentFor(const std::wstring& name) {
    return EncodeUtf8(name) + std::string("\0\x01\xFF\r\n", 5) + std::string(name.size() * 37, '\xA5');
}

// Every file below `folder`, as paths relative to it.
void ListTree(const std::wstring& folder, const std::wstring& prefix, std::set<std::wstring>& files) {
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListTree(folder + name + L"\\", prefix + name + L"\\", files);
        } else {
            files.insert(prefix + name);
        }
    } while (::FindNextFileW(find.Get(), &data));
}

class ProductFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : kSeed) Seed(file);
        Seed(kHidden);
        ::SetFileAttributesW(Root(kHidden.source).c_str(), FILE_ATTRIBUTE_HIDDEN);
    }

    std::wstring Root(const std::wstring& relative) const { return root_.Path() + relative; }
    std::wstring Work() const { return root_.Path() + L"GetInfoDir\\"; }
    TProductFolders Folders(bool updater) const {
        return {Root(kInstall), Root(L"Roaming"), updater ? Root(kUpdater) : std::wstring()};
    }
    void Seed(const SeedFile& file) { WriteFileBytes(Root(file.source), ContentFor(file.source)); }

    // The copies the seed predicts: copy path below the working folder -> source.
    std::map<std::wstring, std::wstring> ExpectedCopies(bool updater) const {
        std::map<std::wstring, std::wstring> copies;
        std::vector<SeedFile> all(std::begin(kSeed), std::end(kSeed));
        all.push_back(kHidden);
        for (const auto& file : all) {
            if (file.copy == nullptr) continue;
            if (!updater && StartsWith(file.copy, L"Updater\\")) continue;
            copies[file.copy] = file.source;
        }
        return copies;
    }

    void ExpectCopies(const std::map<std::wstring, std::wstring>& expected) const {
        std::set<std::wstring> found;
        ListTree(Work(), L"", found);
        std::set<std::wstring> wanted;
        for (const auto& entry : expected) wanted.insert(entry.first);
        EXPECT_EQ(found, wanted);
        for (const auto& entry : expected) {
            if (!found.count(entry.first)) continue;
            SCOPED_TRACE(Printable(entry.first));
            EXPECT_EQ(ReadFileBytes(Work() + entry.first), ContentFor(entry.second));
        }
    }

    // The trace of the wildcard rows and the per-device folders, in order.
    std::vector<std::wstring> ExpectedLog() const {
        const std::wstring install = Root(kInstall);
        const std::wstring vnt = Root(kVnt);
        return {
            install + L"Aerovell\\logs\\*.log", L"2",
            install + L"Aerovell\\logs\\a.log", install + L"Aerovell\\logs\\B.log",
            vnt + L"DataBase\\*.*", L"3",
            vnt + L"DataBase\\cache.db", vnt + L"DataBase\\History.TXT", vnt + L"DataBase\\main.db",
            vnt + L"Sync\\*.*", L"2",
            vnt + L"Sync\\history.txt", vnt + L"Sync\\s1.dat",
            vnt + L"handset vault\\A\\*.*", L"2",
            vnt + L"handset vault\\A\\a1.bin", vnt + L"handset vault\\A\\history.txt",
            vnt + L"handset vault\\B\\*.*", L"2",
            vnt + L"handset vault\\B\\b1.bin", vnt + L"handset vault\\B\\b2.bin",
        };
    }

    TempFolder root_{L"product"};
};

TEST_F(ProductFiles, SeededProductGivesThePredictedCopiesAndTrace) {
    for (bool updater : {true, false}) {
        SCOPED_TRACE(updater ? "updater registered" : "no updater registered");
        RemoveTree(Work());
        LogTail log;
        CollectProductFiles(Folders(updater), Work());
        ExpectCopies(ExpectedCopies(updater));
        EXPECT_EQ(log.NewLines(), ExpectedLog());
        EXPECT_EQ(DirectoryExists(Work() + L"Updater"), updater);
    }
}

TEST_F(ProductFiles, OlderCopiesAreOverwrittenAndLockedFilesSkipped) {
    WriteFileBytes(Work() + L"AppData\\core.ini", "stale");
    WriteFileBytes(Work() + L"AppPath\\Aerovell\\logs\\a.log", "stale");
    const std::vector<std::wstring> locked = {L"Program Files\\Vantrel\\Faults.log",
                                              L"Roaming\\Vantrel\\VNT\\DataBase\\main.db"};
    std::vector<ScopedFileHandle> holders;
    for (const auto& file : locked) {
        holders.emplace_back(::CreateFileW(Root(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holders.back().Valid());
    }
    LogTail log;

    CollectProductFiles(Folders(true), Work());

    std::map<std::wstring, std::wstring> expected = ExpectedCopies(true);
    expected.erase(L"AppPath\\Faults.log");
    expected.erase(L"AppData\\DataBase\\main.db");
    ExpectCopies(expected);
    EXPECT_EQ(log.NewLines(), ExpectedLog());  // the locked file is still traced
}

TEST_F(ProductFiles, MissingProductFoldersCopyNothingAndTraceEmptyMatches) {
    const TProductFolders folders = {Root(L"nowhere\\"), Root(L"no roaming"), std::wstring()};
    LogTail log;
    CollectProductFiles(folders, Work());
    EXPECT_FALSE(DirectoryExists(Work()));
    const std::vector<std::wstring> expected = {
        Root(L"nowhere\\Aerovell\\logs\\*.log"), L"0",
        Root(L"no roaming\\Vantrel\\VNT\\DataBase\\*.*"), L"0",
        Root(L"no roaming\\Vantrel\\VNT\\Sync\\*.*"), L"0",
    };
    EXPECT_EQ(log.NewLines(), expected);
}

// The collection looks at the native system folder, not at the 32-bit one
// that redirection would show, and leaves redirection on afterwards.
TEST(ProductFilesRedirection, NativeFoldersAreReadWithRedirectionOff) {
    if (!IsWow64()) GTEST_SKIP() << "no WOW64 here";
    const std::wstring name = L"vtest_collect_" + vantrel_test::UniqueSuffix();
    const std::wstring native = GetSystemDir() + L"\\" + name + L"\\";
    const std::wstring wow64 = TAppFrame::GetWindowsDir() + L"\\SysWOW64\\" + name + L"\\";
    {
        ScopedFsRedirectionOff off;
        WriteFileBytes(native + L"Vantrel.log", "native");
    }
    WriteFileBytes(wow64 + L"Vantrel.log", "wow64");
    TempFolder work(L"redirect");

    CollectProductFiles(TProductFolders{native, L"", L""}, work.Path());

    EXPECT_EQ(ReadFileBytes(work.Path() + L"AppPath\\Vantrel.log"), "native");
    EXPECT_EQ(ReadFileBytes(native + L"Vantrel.log"), "wow64");  // redirection is back on
    RemoveTree(wow64);
    ScopedFsRedirectionOff off;
    RemoveTree(native);
}

}  // namespace
}  // namespace vantrel
