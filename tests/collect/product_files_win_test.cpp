#include "collect/product_files_win.h"

#include "collect/log_tail_win.h"
#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/wow64_win.h"
#include "platform/files/directory_win.h"
#include "platform/files/safe_paths.h"
#include "platform/system/folders_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <algorithm>
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

class ProductFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& file : kSeed) Seed(file);
        Seed(kHidden);
        ::SetFileAttributesW(Root(kHidden.source).c_str(), FILE_ATTRIBUTE_HIDDEN);
    }

    std::wstring Root(const std::wstring& relative) const { return root_.Path() + relative; }
    // Collects afresh into collected_.
    void Collect(const TProductFolders& folders, const TUserRights& rights) {
        collected_.Clear();
        CollectProductFiles(folders, rights, collected_);
    }
    // What was collected: name below the working folder -> content.
    std::map<std::wstring, std::string> Copies() const { return vantrel_test::CollectedContents(collected_); }
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
        const std::map<std::wstring, std::string> copies = Copies();
        std::set<std::wstring> found, wanted;
        for (const auto& entry : copies) found.insert(entry.first);
        for (const auto& entry : expected) wanted.insert(entry.first);
        EXPECT_EQ(found, wanted);
        for (const auto& entry : expected) {
            if (!found.count(entry.first)) continue;
            SCOPED_TRACE(Printable(entry.first));
            EXPECT_EQ(copies.at(entry.first), ContentFor(entry.second));
        }
    }

    // The trace of the wildcard rows and the per-device folders, in order.
    std::vector<std::wstring> ExpectedLog() const {
        const std::wstring install = Root(kInstall);
        const std::wstring vnt = Root(kVnt);
        return {
            install + L"Aerovell\\logs\\*.log",
            L"2",
            install + L"Aerovell\\logs\\a.log",
            install + L"Aerovell\\logs\\B.log",
            vnt + L"DataBase\\*.*",
            L"3",
            vnt + L"DataBase\\cache.db",
            vnt + L"DataBase\\History.TXT",
            vnt + L"DataBase\\main.db",
            vnt + L"Sync\\*.*",
            L"2",
            vnt + L"Sync\\history.txt",
            vnt + L"Sync\\s1.dat",
            vnt + L"handset vault\\A\\*.*",
            L"2",
            vnt + L"handset vault\\A\\a1.bin",
            vnt + L"handset vault\\A\\history.txt",
            vnt + L"handset vault\\B\\*.*",
            L"2",
            vnt + L"handset vault\\B\\b1.bin",
            vnt + L"handset vault\\B\\b2.bin",
        };
    }

    TempFolder root_{L"product"};
    TCollected collected_;
};

TEST_F(ProductFiles, SeededProductGivesThePredictedCopiesAndTrace) {
    for (bool updater : {true, false}) {
        SCOPED_TRACE(updater ? "updater registered" : "no updater registered");
        LogTail log;
        Collect(Folders(updater), TRunRights::OfThisProcess().User);
        ExpectCopies(ExpectedCopies(updater));
        EXPECT_EQ(log.NewLines(), ExpectedLog());
        // Each file keeps its attributes as a copy would (the hidden one is
        // still hidden, so the packer leaves it out), its size and its time.
        for (const TCollectedFile& file : collected_.Files()) {
            SCOPED_TRACE(Printable(file.Name));
            WIN32_FILE_ATTRIBUTE_DATA source = {};
            ASSERT_TRUE(::GetFileAttributesExW(file.Source.c_str(), GetFileExInfoStandard, &source));
            EXPECT_EQ(file.Attributes, CopiedAttributes(source.dwFileAttributes));
            EXPECT_EQ((file.Attributes & FILE_ATTRIBUTE_HIDDEN) != 0, file.Name == kHidden.copy);
            EXPECT_EQ(file.Size, ContentFor(RelativePath(root_.Path(), file.Source)).size());
            EXPECT_EQ(::CompareFileTime(&file.LastWrite, &source.ftLastWriteTime), 0);
            EXPECT_EQ(file.Stage, L"product files");
        }
    }
}

TEST_F(ProductFiles, LockedFilesAreSkippedWithTheirLines) {
    const std::vector<std::wstring> locked = {L"Program Files\\Vantrel\\Faults.log",
                                              L"Roaming\\Vantrel\\VNT\\DataBase\\main.db"};
    LogTail log;
    {
        // Held by another program, as a running product holds its files.
        vantrel_test::LockerProcess first(Root(locked[0]));
        vantrel_test::LockerProcess second(Root(locked[1]));
        ASSERT_TRUE(first.Holding());
        ASSERT_TRUE(second.Holding());
        Collect(Folders(true), TRunRights::OfThisProcess().User);
    }

    std::map<std::wstring, std::wstring> expected = ExpectedCopies(true);
    expected.erase(L"AppPath\\Faults.log");
    expected.erase(L"AppData\\DataBase\\main.db");
    ExpectCopies(expected);

    // Each locked file leaves one line naming the stage, the file and the
    // sharing violation; a listed one right after its trace line. Nothing
    // else in the trace changes.
    const std::vector<std::wstring> lines = log.NewLines();
    std::vector<std::wstring> trace;
    std::vector<std::wstring> errors;
    for (const auto& line : lines) (StartsWith(line, L"Error: ") ? errors : trace).push_back(line);
    EXPECT_EQ(trace, ExpectedLog());  // the locked file is still traced
    ASSERT_FALSE(SystemErrorText(ERROR_SHARING_VIOLATION).empty());
    std::vector<std::wstring> expected_errors;
    expected_errors.reserve(locked.size());
    for (const auto& file : locked) {
        expected_errors.push_back(L"Error: product files: Cannot open file " + Root(file) + L" (Windows error 32: " +
                                  SystemErrorText(ERROR_SHARING_VIOLATION) + L")");
    }
    std::sort(errors.begin(), errors.end());
    std::sort(expected_errors.begin(), expected_errors.end());
    EXPECT_EQ(errors, expected_errors);
    const auto listed = std::find(lines.begin(), lines.end(), Root(locked[1]));
    ASSERT_NE(listed, lines.end());
    ASSERT_NE(listed + 1, lines.end());
    EXPECT_TRUE(StartsWith(listed[1], L"Error: product files: Cannot open file " + Root(locked[1])));
}

// Nothing is written while collecting: the files are packed from where they
// are, and the working folder is not even made.
TEST_F(ProductFiles, MissingProductFoldersCopyNothingAndTraceEmptyMatches) {
    const TProductFolders folders = {Root(L"nowhere\\"), Root(L"no roaming"), std::wstring()};
    LogTail log;
    Collect(folders, TRunRights::OfThisProcess().User);
    EXPECT_TRUE(collected_.Empty());
    const std::vector<std::wstring> expected = {
        Root(L"nowhere\\Aerovell\\logs\\*.log"),      L"0", Root(L"no roaming\\Vantrel\\VNT\\DataBase\\*.*"), L"0",
        Root(L"no roaming\\Vantrel\\VNT\\Sync\\*.*"), L"0",
    };
    EXPECT_EQ(log.NewLines(), expected);
}

// Another account's data and links to it planted in every product folder:
// a folder link, a file link and a hard link, and the install folder itself
// replaced by a link. Nothing of that account may reach the copies, whether
// the reads are bounded by the user's rights or not; a hard link, which the
// user's rights bound on Windows, is taken only when they do.
class ProductDataLinks : public ProductFiles {
protected:
    void SetUp() override {
        ProductFiles::SetUp();
        WriteFileBytes(Other(L"secret.log"), kSecret);
        WriteFileBytes(Other(L"logs\\a.log"), kSecret);
        WriteFileBytes(Other(L"install\\Vantrel.log"), kSecret);
        const std::wstring vnt = Root(kVnt);
        const struct {
            std::wstring link;
            std::wstring target;
            bool hard;
        } links[] = {
            {Root(kInstall) + L"Aerovell\\logs\\linked", Other(L"logs"), false},
            {Root(kInstall) + L"ClipScan.log", Other(L"secret.log"), false},
            {Root(kInstall) + L"VNTToolbox.log", Other(L"secret.log"), true},
            {Root(kUpdater) + L"update", Other(L"logs"), false},
            {Root(kUpdater) + L"VNTUpdater.log", Other(L"secret.log"), false},
            {vnt + L"Sync\\linked.dat", Other(L"secret.log"), true},
            {vnt + L"DataBase\\linked.db", Other(L"secret.log"), false},
            {vnt + L"handset vault\\C", Other(L"logs"), false},
            {vnt + L"log", Other(L"logs"), false},
        };
        RemoveTree(Root(kUpdater) + L"update");
        RemoveTree(vnt + L"log");
        for (const auto& l : links) {
            ASSERT_TRUE(vantrel_test::MakeLink(l.link, l.target, l.hard)) << Printable(l.link);
            made_.push_back(l.link);
        }
    }
    void TearDown() override {
        for (const auto& link : made_) vantrel_test::RemoveLink(link);
    }
    std::wstring Other(const std::wstring& relative) const { return other_.Path() + relative; }
    // With the user's rights, a hard link, and a file link (which Wine shows
    // as the file it points to, where Windows shows the link on its
    // handle), are read; Windows would refuse the read with the user's
    // rights, Wine enforces none. `user_rights` leaves those copies out of
    // the check; the branch itself shows in which are taken.
    void ExpectNothingOfTheOtherAccount(bool user_rights) const {
        const std::set<std::wstring> bounded = {L"AppPath\\VNTToolbox.log", L"AppData\\Sync\\linked.dat",
                                                L"AppPath\\ClipScan.log", L"Updater\\VNTUpdater.log",
                                                L"AppData\\DataBase\\linked.db"};
        for (const auto& copy : Copies()) {
            if (user_rights && bounded.count(copy.first)) continue;
            EXPECT_EQ(copy.second.find(kSecret), std::string::npos) << Printable(copy.first);
        }
    }

    static constexpr const char* kSecret = "SECRET of another account";
    TempFolder other_{L"other profile"};
    std::vector<std::wstring> made_;
};

TEST_F(ProductDataLinks, NothingOfAnotherAccountIsCopied) {
    for (bool bound_by_user : {false, true}) {
        SCOPED_TRACE(bound_by_user ? "reads bounded by the user's rights" : "reads with the run's own rights");
        Collect(Folders(true), bound_by_user ? TUserRights::OwnAreTheUsers() : TUserRights());
        ExpectNothingOfTheOtherAccount(bound_by_user);
        const std::map<std::wstring, std::string> copies = Copies();
        EXPECT_EQ(copies.count(L"AppPath\\Vantrel.log"), 1u);  // the user's own files still come
        EXPECT_EQ(copies.count(L"AppData\\core.ini"), 1u);
        // The hard links: taken only where the user's rights bound the read;
        // the file links (invisible to Windows calls under Wine) likewise.
        EXPECT_EQ(copies.count(L"AppPath\\VNTToolbox.log"), bound_by_user ? 1u : 0u);
        EXPECT_EQ(copies.count(L"AppData\\Sync\\linked.dat"), bound_by_user ? 1u : 0u);
        EXPECT_EQ(copies.count(L"AppPath\\ClipScan.log"), bound_by_user ? 1u : 0u);
        // A folder link is never followed: its files are not copied.
        EXPECT_EQ(copies.count(L"Updater\\update\\stageplan.spt"), 0u);
        EXPECT_EQ(copies.count(L"AppData\\log\\Vantrel.log"), 0u);
        EXPECT_EQ(copies.count(L"AppData\\handset vault\\C\\a.log"), 0u);
    }

    // The install folder itself replaced by a link to the other account's.
    const std::wstring install = ExcludeTrailingBackslash(Root(kInstall));
    ASSERT_TRUE(::MoveFileW(install.c_str(), (install + L" moved").c_str()));
    ASSERT_TRUE(vantrel_test::MakeLink(install, Other(L"install")));
    made_.push_back(install);
    Collect(Folders(true), TUserRights::OwnAreTheUsers());
    ExpectNothingOfTheOtherAccount(true);
    for (const auto& copy : Copies()) EXPECT_FALSE(StartsWith(copy.first, L"AppPath\\")) << Printable(copy.first);

    // Non-vacuous: a plain open by name follows the link.
    EXPECT_EQ(ReadFileBytes(Root(kInstall) + L"Vantrel.log"), kSecret);
}

// A pattern's folder that is itself a link lists nothing without the user's
// rights, so the other account's file names never reach the log, which the
// user can read. With the user's rights Windows refuses that listing itself;
// Wine lists it, which shows the names would otherwise be logged.
TEST_F(ProductDataLinks, ALinkAtAPatternFolderListsNoOtherAccountsNames) {
    const std::wstring sync = Root(kVnt) + L"Sync";
    vantrel_test::RemoveLink(sync + L"\\linked.dat");
    RemoveTree(sync);
    WriteFileBytes(Other(L"names\\other-account-name.dat"), kSecret);
    ASSERT_TRUE(vantrel_test::MakeLink(sync, Other(L"names")));
    made_.push_back(sync);
    auto names_logged = [this](const TUserRights& rights) {
        LogTail log;
        Collect(Folders(true), rights);
        bool named = false;
        for (const auto& line : log.NewLines()) named = named || line.find(L"other-account") != std::wstring::npos;
        return named;
    };
    EXPECT_FALSE(names_logged(TUserRights()));
    EXPECT_TRUE(names_logged(TUserRights::OwnAreTheUsers()));
}

// A profile reached through a folder link (moved to another disk) is an
// ordinary machine: with the user's rights everything is collected. Without
// them only a link the system or the administrators made may lie above a
// product folder; one a user made (as every link under Wine) is refused.
TEST_F(ProductFiles, AProfileReachedThroughAFolderLinkIsOrdinary) {
    TempFolder elsewhere(L"profile link");
    const std::wstring profile = elsewhere.Path() + L"profile\\";
    ASSERT_TRUE(vantrel_test::MakeLink(profile, root_.Path()));
    const TProductFolders folders = {profile + kInstall, profile + L"Roaming", profile + kUpdater};
    Collect(folders, TUserRights::OwnAreTheUsers());
    ExpectCopies(ExpectedCopies(true));
    Collect(folders, TUserRights());
    EXPECT_TRUE(collected_.Empty());
    vantrel_test::RemoveLink(profile);
}

// Reads meant to run with the user's rights never run with the run's own
// when acting as the user fails: a token that cannot be used reads nothing.
TEST_F(ProductFiles, ReadsWithAnUnusableUserTokenTakeNothing) {
    HANDLE own = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &own));
    ScopedKernelHandle hold(own);
    for (bool usable : {true, false}) {
        SCOPED_TRACE(usable ? "usable token" : "token without impersonation access");
        ScopedKernelHandle token;
        ASSERT_TRUE(::DuplicateTokenEx(own, TOKEN_QUERY | (usable ? TOKEN_IMPERSONATE : 0), nullptr,
                                       SecurityImpersonation, TokenImpersonation, token.Receive()));
        LogTail log;
        Collect(Folders(true), TUserRights::FromToken(std::move(token)));
        EXPECT_EQ(collected_.Empty(), !usable);
        // Each refused impersonation leaves its line.
        bool refused_line = false;
        for (const auto& line : log.NewLines()) {
            refused_line =
                refused_line || StartsWith(line, L"Error: acting as the session user: Cannot act as the user");
        }
        EXPECT_EQ(refused_line, !usable);
        HANDLE thread_token = nullptr;
        EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &thread_token));  // reverted
    }
}

// Names the plain Win32 forms get wrong are collected under their own names
// with their own bytes.
TEST_F(ProductFiles, HostileNamesAreCollectedExactlyAndCleanedUp) {
    const std::wstring database = ExtendedLengthPath(Root(kVnt) + L"DataBase\\");
    const std::wstring long_name = std::wstring(200, L'l') + L".db";
    const std::vector<std::wstring> names = {
        L"dup.log.", L"dup.log", L"trailing ", L"con.log", L"nul", L"\u00e9t\u00e9 \u65e5\u672c.db", long_name};
    for (const auto& name : names) WriteFileBytes(database + name, "bytes of " + EncodeUtf8(name));
    Collect(Folders(true), TUserRights::OwnAreTheUsers());
    const std::map<std::wstring, std::string> copies = Copies();
    for (const auto& name : names) {
        SCOPED_TRACE(Printable(name));
        auto found = copies.find(L"AppData\\DataBase\\" + name);
        ASSERT_NE(found, copies.end());
        EXPECT_EQ(found->second, "bytes of " + EncodeUtf8(name));
    }
    EXPECT_GT((database + long_name).size(), 260u);
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
    TCollected collected;

    CollectProductFiles(TProductFolders{native, L"", L""}, TRunRights::OfThisProcess().User, collected);

    EXPECT_EQ(vantrel_test::CollectedContents(collected).at(L"AppPath\\Vantrel.log"), "native");
    EXPECT_EQ(ReadFileBytes(native + L"Vantrel.log"), "wow64");  // redirection is back on
    RemoveTree(wow64);
    ScopedFsRedirectionOff off;
    RemoveTree(native);
}

}  // namespace
}  // namespace vantrel
