#include "collect/product_files.h"

#include "platform/base/text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

using vantrel_test::Printable;

const TProductFolders kFolders = {L"C:\\Program Files\\Vantrel\\", L"C:\\Users\\Jo\\AppData\\Roaming", L"D:\\Upd\\"};
const wchar_t kWork[] = L"C:\\Temp\\GetInfoDir\\";

// Where each row's copies land below the working folder, relative to the
// row's base folder: the table's "Copy lands in" column.
TEST(ProductFilePatterns, RowsInOrderAndWhereTheirCopiesLand) {
    struct Row {
        const wchar_t* pattern;
        const wchar_t* sample;  // a file the row finds, or the row's one file
        const wchar_t* lands;   // below the working folder
    };
    const Row rows[] = {
        {L"%AppPath%\\Vantrel.log", nullptr, L"AppPath\\Vantrel.log"},
        {L"%AppPath%\\VNTUpdater.log", nullptr, L"AppPath\\VNTUpdater.log"},
        {L"%AppPath%\\VNTToolbox.log", nullptr, L"AppPath\\VNTToolbox.log"},
        {L"%AppPath%\\MediaFetch.log", nullptr, L"AppPath\\MediaFetch.log"},
        {L"%AppPath%\\RuntimeFetch.log", nullptr, L"AppPath\\RuntimeFetch.log"},
        {L"%AppPath%\\crashnote.txt", nullptr, L"AppPath\\crashnote.txt"},
        {L"%AppPath%\\Aerovell\\logs\\*.log", L"a.log", L"AppPath\\Aerovell\\logs\\a.log"},
        {L"%AppPath%\\Faults.log", nullptr, L"AppPath\\Faults.log"},
        {L"%AppPath%\\ClipScan.log", nullptr, L"AppPath\\ClipScan.log"},
        {L"%Updater%\\Fetcher.log", nullptr, L"Updater\\Fetcher.log"},
        {L"%Updater%\\VNTUpdater.log", nullptr, L"Updater\\VNTUpdater.log"},
        {L"%Updater%\\update\\stageplan.spt", nullptr, L"Updater\\update\\stageplan.spt"},
        {L"%AppData%\\Vantrel\\VNT\\DataBase\\*.*", L"main.db", L"AppData\\DataBase\\main.db"},
        {L"%AppData%\\Vantrel\\VNT\\Sync\\*.*", L"s.dat", L"AppData\\Sync\\s.dat"},
        {L"%AppData%\\Vantrel\\VNT\\core.ini", nullptr, L"AppData\\core.ini"},
        {L"%AppData%\\Vantrel\\VNT\\media.ini", nullptr, L"AppData\\media.ini"},
        {L"%AppData%\\Vantrel\\VNT\\log\\FirstRun.log", nullptr, L"AppData\\log\\FirstRun.log"},
        {L"%AppData%\\Vantrel\\VNT\\log\\Vantrel.log", nullptr, L"AppData\\log\\Vantrel.log"},
        {L"%AppData%\\Vantrel\\VNT\\log\\Vantrel.log.bak1", nullptr, L"AppData\\log\\Vantrel.log.bak1"},
        {L"%AppData%\\Vantrel\\VNT\\log\\Fetcher.log", nullptr, L"AppData\\log\\Fetcher.log"},
        {L"%AppData%\\Vantrel\\VNT\\log\\SWEEP_ERRORS.log", nullptr, L"AppData\\log\\SWEEP_ERRORS.log"},
        {L"%AppData%\\Vantrel\\VNT\\log\\Remarks.log", nullptr, L"AppData\\log\\Remarks.log"},
        {L"%AppData%\\Vantrel\\VNT\\Pulls.db", nullptr, L"AppData\\Pulls.db"},
    };
    ASSERT_EQ(kProductFilePatternCount, sizeof rows / sizeof rows[0]);
    for (std::size_t i = 0; i < kProductFilePatternCount; ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(Printable(row.pattern));
        EXPECT_EQ(std::wstring(kProductFilePatterns[i]), row.pattern);
        const TPatternPlan plan = PlanProductPattern(row.pattern, kFolders, kWork);
        ASSERT_TRUE(plan.Collect);
        EXPECT_EQ(plan.Wildcard, row.sample != nullptr);
        // The file a row finds: the pattern's folder + the name; the path is
        // as the normaliser would leave it, without the doubled backslash.
        std::wstring file = ReplaceAll(plan.Path, L"\\\\", L"\\");
        if (row.sample != nullptr) file = ExtractFilePath(file) + row.sample;
        EXPECT_EQ(plan.TargetRoot + RelativePath(plan.BaseFolder, file), std::wstring(kWork) + row.lands);
    }
}

TEST(PlanProductPattern, PlaceholdersTheirFoldersAndSkips) {
    struct Case {
        const wchar_t* pattern;
        TProductFolders folders;
        bool collect;
        const wchar_t* path;
        const wchar_t* base;
        const wchar_t* root;
    };
    const Case cases[] = {
        {L"%AppPath%\\Vantrel.log", kFolders, true, L"C:\\Program Files\\Vantrel\\\\Vantrel.log",
         L"C:\\Program Files\\Vantrel\\", L"AppPath\\"},
        {L"%AppData%\\Vantrel\\VNT\\core.ini", kFolders, true,
         L"C:\\Users\\Jo\\AppData\\Roaming\\Vantrel\\VNT\\core.ini", L"C:\\Users\\Jo\\AppData\\Roaming\\Vantrel\\VNT\\",
         L"AppData\\"},
        {L"%Updater%\\Fetcher.log", kFolders, true, L"D:\\Upd\\\\Fetcher.log", L"D:\\Upd\\", L"Updater\\"},
        // recognised ignoring case, but only the exact spelling is replaced
        {L"%APPPATH%\\x.log", kFolders, true, L"%APPPATH%\\x.log", L"C:\\Program Files\\Vantrel\\", L"AppPath\\"},
        // every occurrence is replaced
        {L"%Updater%\\%Updater%", kFolders, true, L"D:\\Upd\\\\D:\\Upd\\", L"D:\\Upd\\", L"Updater\\"},
        {L"%Updater%\\Fetcher.log", {L"C:\\P\\", L"C:\\R", L""}, false, L"", L"", L""},
        {L"%AppPath%\\Vantrel.log", {L"", L"C:\\R", L"D:\\U\\"}, false, L"", L"", L""},
        {L"%AppData%\\Vantrel\\VNT\\core.ini", {L"C:\\P\\", L"", L"D:\\U\\"}, false, L"", L"", L""},
        {L"%Temp%\\x.log", kFolders, false, L"", L"", L""},
        {L"C:\\x.log", kFolders, false, L"", L"", L""},
        {L"%AppPat", kFolders, false, L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.pattern));
        const TPatternPlan plan = PlanProductPattern(c.pattern, c.folders, kWork);
        EXPECT_EQ(plan.Collect, c.collect);
        if (!c.collect) continue;
        EXPECT_EQ(plan.Path, c.path);
        EXPECT_EQ(plan.BaseFolder, c.base);
        EXPECT_EQ(plan.TargetRoot, std::wstring(kWork) + c.root);
    }
}

TEST(HandsetVault, FolderAndPerDevicePattern) {
    EXPECT_EQ(HandsetVaultFolder(L"C:\\Users\\Jo\\AppData\\Roaming"),
              L"C:\\Users\\Jo\\AppData\\Roaming\\Vantrel\\VNT\\handset vault\\");
    const std::wstring pattern = HandsetVaultPattern(L"Phone A");
    EXPECT_EQ(pattern, L"%AppData%\\Vantrel\\VNT\\handset vault\\Phone A\\*.*");
    const TPatternPlan plan = PlanProductPattern(pattern, kFolders, kWork);
    ASSERT_TRUE(plan.Wildcard);
    EXPECT_EQ(plan.TargetRoot + RelativePath(plan.BaseFolder, ExtractFilePath(plan.Path) + L"f.bin"),
              std::wstring(kWork) + L"AppData\\handset vault\\Phone A\\f.bin");
}

TEST(RelativePath, ShortestWayFromTheBaseFolder) {
    struct Case {
        const wchar_t* base;
        const wchar_t* path;
        const wchar_t* relative;
    };
    const Case cases[] = {
        {L"C:\\a\\b\\", L"C:\\a\\b\\c\\d.txt", L"c\\d.txt"},
        {L"C:\\a\\b", L"C:\\a\\b\\d.txt", L"d.txt"},
        {L"C:\\A\\B\\", L"c:\\a\\b\\d.txt", L"d.txt"},
        {L"C:\\a\\b\\", L"C:\\a\\x\\d.txt", L"..\\x\\d.txt"},
        {L"C:\\a\\b\\c\\", L"C:\\d.txt", L"..\\..\\..\\d.txt"},
        {L"C:\\a\\bc\\", L"C:\\a\\b\\d.txt", L"..\\b\\d.txt"},  // a common prefix of letters is no common folder
        {L"C:\\a\\", L"D:\\a\\d.txt", L"D:\\a\\d.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.base) + " -> " + Printable(c.path));
        EXPECT_EQ(RelativePath(c.base, c.path), c.relative);
    }
}

TEST(IsExcludedFromWildcard, HistoryTextInAnyCase) {
    EXPECT_TRUE(IsExcludedFromWildcard(L"history.txt"));
    EXPECT_TRUE(IsExcludedFromWildcard(L"HISTORY.TXT"));
    EXPECT_TRUE(IsExcludedFromWildcard(L"History.Txt"));
    EXPECT_FALSE(IsExcludedFromWildcard(L"history.txt.bak"));
    EXPECT_FALSE(IsExcludedFromWildcard(L"ahistory.txt"));
    EXPECT_FALSE(IsExcludedFromWildcard(L"history"));
}

}  // namespace
}  // namespace vantrel
