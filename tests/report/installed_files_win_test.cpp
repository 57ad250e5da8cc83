#include "report/installed_files_win.h"

#include "job/geninfo_protocol.h"
#include "job/report_job_win.h"
#include "platform/base/file_io_win.h"
#include "platform/files/directory_win.h"
#include "platform/files/safe_paths.h"
#include "platform/system/impersonation_win.h"
#include "platform/system/registry_rules.h"
#include "report/registry_sandbox_win.h"
#include "report/section_banner.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace vantrel {
namespace {

using vantrel_test::FixtureDir;
using vantrel_test::Printable;
using vantrel_test::RegistrySandbox;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel_is1";
const char kHelloMd5[] = "5d41402abc4b2a76b9719d911017c592";  // MD5 of "hello"
const char kEmptyMd5[] = "d41d8cd98f00b204e9800998ecf8427e";

std::string Joined(const TStringList& list) {
    std::string out;
    for (const auto& s : list) out += "[" + Printable(s) + "]\n";
    return out;
}

// Sets a file's last-write time from local calendar fields.
void SetLocalWriteTime(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME fields = {};
    fields.wYear = year;
    fields.wMonth = month;
    fields.wDay = day;
    fields.wHour = hour;
    fields.wMinute = minute;
    fields.wSecond = second;
    FILETIME local;
    FILETIME utc;
    ASSERT_TRUE(::SystemTimeToFileTime(&fields, &local));
    ASSERT_TRUE(::LocalFileTimeToFileTime(&local, &utc));
    ScopedFileHandle file(
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &utc));
}

// A file with fixed content and time.
void Seed(const std::wstring& path, const std::string& content) {
    WriteFileBytes(path, content);
    SetLocalWriteTime(path, 2016, 3, 14, 10, 2, 33);
}

std::wstring Line(const wchar_t* relative, const wchar_t* version, const char* md5, const wchar_t* time) {
    return std::wstring(relative) + L"   Ver:" + version + L"   MD5:" + DecodeUtf8(md5) + L"   DT:" + time;
}

const wchar_t kStamp[] = L"3/14/2016 10:02:33 AM";  // the test prefix has US English settings

TEST(InstalledFiles, InventoryOfASeededInstallFolder) {
    TempFolder install{L"install"};
    const std::wstring& dir = install.Path();
    ASSERT_TRUE(::CopyFileW((FixtureDir() + L"versioned\\full.dll").c_str(), (dir + L"Vantrel.exe").c_str(), FALSE));
    SetLocalWriteTime(dir + L"Vantrel.exe", 2016, 3, 14, 10, 2, 33);
    ASSERT_TRUE(::CreateDirectoryW((dir + L"bin").c_str(), nullptr));
    ASSERT_TRUE(
        ::CopyFileW((FixtureDir() + L"versioned\\noresource.dll").c_str(), (dir + L"bin\\codec.dll").c_str(), FALSE));
    SetLocalWriteTime(dir + L"bin\\codec.dll", 2016, 3, 14, 10, 2, 33);
    Seed(dir + L"readme.txt", "hello");
    WriteFileBytes(dir + L"midnight.log", "");
    SetLocalWriteTime(dir + L"midnight.log", 2020, 1, 2, 0, 0, 0);
    Seed(dir + L"iTunes.Resources\\a.plist", "hello");
    Seed(dir + L"iTunes.Resources\\en.lproj\\b.strings", "hello");
    Seed(dir + L"sub\\iTunes.Resources\\deeper.plist", "hello");
    Seed(dir + L".svn\\entries", "hello");
    Seed(dir + L"bin\\.svn\\text-base\\codec.dll.svn-base", "hello");
    Seed(dir + L"other\\.SVN\\listed.txt", "hello");
    ::CreateDirectoryW((dir + L"empty").c_str(), nullptr);

    TStringList lines = {L"before"};
    AddInstalledFiles(lines, dir, true, TRunRights::OfThisProcess().User);

    // Wine lists folders sorted without regard to case.
    const TStringList expected = {
        L"before",
        SectionBanner(),
        Line(L"bin\\codec.dll", L"", "", kStamp),
        Line(L"midnight.log", L"", kEmptyMd5, L"1/2/2020"),
        Line(L"other\\.SVN\\listed.txt", L"", kHelloMd5, kStamp),
        Line(L"readme.txt", L"", kHelloMd5, kStamp),
        Line(L"sub\\iTunes.Resources\\deeper.plist", L"", kHelloMd5, kStamp),
        Line(L"Vantrel.exe", L"1.0.0.1", "", kStamp),
    };
    ASSERT_EQ(lines.size(), expected.size()) << Joined(lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        if (expected[i].find(L"MD5:   ") != std::wstring::npos) {
            // A DLL's digest is compared with md5sum by the end-to-end test;
            // here only its form.
            const std::size_t md5 = lines[i].find(L"   MD5:");
            ASSERT_NE(md5, std::wstring::npos);
            EXPECT_EQ(lines[i].substr(0, md5), expected[i].substr(0, md5));
            EXPECT_EQ(lines[i].find_first_not_of(L"0123456789abcdef", md5 + 7), md5 + 7 + 32);
            EXPECT_EQ(lines[i].substr(md5 + 7 + 32), expected[i].substr(md5 + 7));
        } else {
            EXPECT_EQ(Printable(lines[i]), Printable(expected[i]));
        }
    }
}

TEST(InstalledFiles, BannerRules) {
    TempFolder temp{L"banner"};
    struct Case {
        const char* what;
        std::vector<std::wstring> files;
        std::vector<std::wstring> folders;
        bool banner;
        TStringList expected;
    };
    const Case cases[] = {
        {"missing folder", {}, {}, true, {}},
        {"only empty subfolders", {}, {L"a", L"a\\b", L"c"}, true, {}},
        {"only excluded files: banner, no lines", {L"iTunes.Resources\\x.plist"}, {}, true, {SectionBanner()}},
        {"only a .svn folder: nothing", {L".svn\\entries"}, {}, true, {}},
        {"banner switched off", {L"a.txt"}, {}, false, {Line(L"a.txt", L"", kHelloMd5, kStamp)}},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring dir = temp.Path() + L"case" + DecimalText(static_cast<std::int32_t>(++index)) + L"\\";
        if (!c.files.empty() || !c.folders.empty()) ::CreateDirectoryW(dir.c_str(), nullptr);
        for (const auto& f : c.folders) ::CreateDirectoryW((dir + f).c_str(), nullptr);
        for (const auto& f : c.files) Seed(dir + f, "hello");
        TStringList lines;
        AddInstalledFiles(lines, dir, c.banner, TRunRights::OfThisProcess().User);
        EXPECT_EQ(Joined(lines), Joined(c.expected));
    }
}

// A file another program holds open without sharing keeps its line, with
// its time stamp and the digest of empty input, whatever rights the folder
// is read with.
TEST(InstalledFiles, AFileHeldWithoutSharingKeepsItsLine) {
    TempFolder install{L"install held"};
    const std::wstring& dir = install.Path();
    Seed(dir + L"free.log", "hello");
    Seed(dir + L"held.log", "hello");
    vantrel_test::LockerProcess locker(dir + L"held.log");
    ASSERT_TRUE(locker.Holding());
    for (bool bound_by_user : {false, true}) {
        SCOPED_TRACE(bound_by_user ? "with the user's rights" : "with the run's own rights");
        TStringList lines;
        AddInstalledFiles(lines, dir, true, bound_by_user ? TUserRights::OwnAreTheUsers() : TUserRights());
        EXPECT_EQ(Joined(lines), Joined({SectionBanner(), Line(L"free.log", L"", kHelloMd5, kStamp),
                                         Line(L"held.log", L"", kEmptyMd5, kStamp)}));
    }
}

TEST(InstalledFiles, LastWriteTimeOfAMissingFileIsTheZeroDate) {
    TempFolder temp{L"stamp"};
    const TDateTimeParts zero = FileLastWriteTime(temp.Path() + L"missing.txt");
    EXPECT_EQ(FormatFileStamp(zero), L"18991230000000000");
    Seed(temp.Path() + L"f.txt", "x");
    EXPECT_EQ(FormatFileStamp(FileLastWriteTime(temp.Path() + L"f.txt")), L"20160314100233000");
}

class InstallDirFromRegistry : public ::testing::Test {
protected:
    RegistrySandbox sandbox_;
};

TEST_F(InstallDirFromRegistry, InstallLocationOrTheToolsFolderWithTrailingBackslash) {
    struct Case {
        const char* what;
        bool key;
        const wchar_t* location;  // null: no value
        std::wstring expected;
    };
    const Case cases[] = {
        {"no uninstall entry", false, nullptr, GetModuleDir()},
        {"no InstallLocation", true, nullptr, GetModuleDir()},
        {"empty InstallLocation", true, L"", GetModuleDir()},
        {"without backslash", true, L"C:\\Program Files\\Vantrel", L"C:\\Program Files\\Vantrel\\"},
        {"with backslash", true, L"C:\\Program Files\\Vantrel\\", L"C:\\Program Files\\Vantrel\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
        if (c.key) RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", L"Vantrel");
        if (c.location != nullptr) {
            RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", c.location);
        }
        EXPECT_EQ(LoadInstallDir(), c.expected);
    }
}

TEST_F(InstallDirFromRegistry, AnInstallLocationThatIsNotTextRaisesTheRegistryError) {
    RegistrySandbox::SetDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", 1);
    try {
        LoadInstallDir();
        ADD_FAILURE() << "no error raised";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid data type for 'InstallLocation'");
    }
}

// Each file gets its own digest, names with trailing dots included; a link
// below the install folder, or the install folder replaced by a link, puts
// nothing of what it points to in the report.
TEST(InstalledFiles, OwnDigestPerNameAndNothingThroughLinks) {
    TempFolder install{L"install links"};
    TempFolder other{L"install other"};
    const std::wstring& dir = install.Path();
    Seed(ExtendedLengthPath(dir) + L"dup.log.", "hello");
    Seed(dir + L"dup.log", "");
    Seed(other.Path() + L"private\\secret.txt", "hello");
    Seed(other.Path() + L"secret.txt", "hello");
    ASSERT_TRUE(vantrel_test::MakeLink(dir + L"linked folder", other.Path() + L"private"));
    ASSERT_TRUE(vantrel_test::MakeLink(dir + L"linked.txt", other.Path() + L"secret.txt"));
    for (bool bound_by_user : {false, true}) {
        SCOPED_TRACE(bound_by_user ? "with the user's rights" : "with the run's own rights");
        std::vector<std::wstring> expected = {SectionBanner(), Line(L"dup.log", L"", kEmptyMd5, kStamp),
                                              Line(L"dup.log.", L"", kHelloMd5, kStamp)};
        // With the user's rights a file link, which Wine shows as the file it
        // points to, is read: Windows shows the link on the handle, and its
        // rights would bound the read.
        if (bound_by_user) expected.push_back(Line(L"linked.txt", L"", kHelloMd5, kStamp));
        TStringList lines;
        AddInstalledFiles(lines, dir, true, bound_by_user ? TUserRights::OwnAreTheUsers() : TUserRights());
        std::sort(lines.begin() + (lines.empty() ? 0 : 1), lines.end());
        EXPECT_EQ(lines, expected) << Joined(lines);
    }
    vantrel_test::RemoveLink(dir + L"linked folder");
    vantrel_test::RemoveLink(dir + L"linked.txt");

    // The install folder itself a link to the other account's folder.
    const std::wstring linked_install = other.Path() + L"install";
    ASSERT_TRUE(vantrel_test::MakeLink(linked_install, other.Path() + L"private"));
    TStringList lines;
    AddInstalledFiles(lines, linked_install, true, TUserRights::OwnAreTheUsers());
    EXPECT_TRUE(lines.empty()) << Joined(lines);
    // Non-vacuous: the plain walk lists the other account's file.
    TStringList plain;
    ListFilesRecursive(linked_install, plain);
    EXPECT_EQ(plain.size(), 1u);
    vantrel_test::RemoveLink(linked_install);
}

// The job with the real install-folder stages and stand-ins for the rest.
class InstallStagesInTheJob : public InstallDirFromRegistry {
protected:
    static LRESULT CALLBACK Record(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_GENINFO) {
            messages_.emplace_back(w, l);
            return 0;
        }
        return ::DefWindowProcW(window, message, w, l);
    }
    void SetUp() override {
        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = Record;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"VantrelInstallStagesRecorder";
        ::RegisterClassW(&window_class);
        window_ = ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    window_class.hInstance, nullptr);
        messages_.clear();
        // the job's working folder in a place of this test's own
        for (const wchar_t* name : {L"TMP", L"TEMP"}) ::SetEnvironmentVariableW(name, temp_.Path().c_str());
    }
    void TearDown() override {
        ::SetEnvironmentVariableW(L"TMP", saved_tmp_.c_str());
        ::SetEnvironmentVariableW(L"TEMP", saved_temp_.c_str());
        ::DestroyWindow(window_);
        InstallDirFromRegistry::TearDown();
    }
    // The job's own rows and the real install-folder rows; the packer keeps
    // the report.
    TReportStages Stages() {
        TReportStages defaults = DefaultReportStages();
        TReportStages stages = JobOwnStages();
        for (const wchar_t* name : {L"install folder", L"installed files"}) {
            StageFunction(stages, name) = StageFunction(defaults, name);
        }
        StageFunction(stages, L"archive") = [this](TRunContext& run, TStringList&) {
            report_ = DecodeUtf16Le(vantrel_test::ReadFileBytes(run.WorkDir + L"Vantrel_Debug_Info.txt").substr(2));
            WriteFileBytes(run.ArchivePath, "stand-in archive");
        };
        return stages;
    }

    // A run of this process's rights and places; the context stays for the
    // test to read.
    void Run() {
        run_.reset(new TRunContext(window_, target_file_, TRunRights::OfThisProcess()));
        RunReportAndNotify(Stages(), *run_, SystemWorkAreaPlaces());
    }

    static std::vector<std::pair<WPARAM, LPARAM>> messages_;
    static std::wstring Environment(const wchar_t* name) {
        wchar_t buffer[MAX_PATH + 1] = {};
        ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
        return buffer;
    }

    const std::wstring saved_tmp_ = Environment(L"TMP");
    const std::wstring saved_temp_ = Environment(L"TEMP");
    TempFolder temp_{L"install_temp"};
    TempFolder target_{L"install_target"};
    TempFolder install_{L"install_job"};
    const std::wstring target_file_ = target_.Path() + L"Vantrel_Debug_Info.zip";
    HWND window_ = nullptr;
    std::unique_ptr<TRunContext> run_;
    std::wstring report_;
};

std::vector<std::pair<WPARAM, LPARAM>> InstallStagesInTheJob::messages_;

TEST_F(InstallStagesInTheJob, TheInventoryOfTheRegisteredFolderReachesTheReport) {
    Seed(install_.Path() + L"readme.txt", "hello");
    RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation",
                             ExcludeTrailingBackslash(install_.Path()));
    Run();
    EXPECT_EQ(messages_.back(), std::make_pair(static_cast<WPARAM>(GENINFO_DONE), static_cast<LPARAM>(0)));
    EXPECT_EQ(run_->InstallDir, install_.Path());
    EXPECT_NE(
        report_.find(std::wstring(SectionBanner()) + L"\r\n" + Line(L"readme.txt", L"", kHelloMd5, kStamp) + L"\r\n"),
        std::wstring::npos)
        << Printable(report_);
}

TEST_F(InstallStagesInTheJob, AnInstallLocationThatIsNotTextFailsTheJob) {
    RegistrySandbox::SetDword(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", 1);
    Run();
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), std::make_pair(static_cast<WPARAM>(GENINFO_FAILED), static_cast<LPARAM>(0)));
    // no fourth progress step: the job ended at the install folder
    for (const auto& m : messages_) {
        if (m.first == GENINFO_STEP) {
            EXPECT_LT(m.second, 4);
        }
    }
    EXPECT_TRUE(report_.empty());
    EXPECT_FALSE(FileExists(target_file_));
}

}  // namespace
}  // namespace vantrel
