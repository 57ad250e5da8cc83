// The whole job under the model of Windows' access checks, in each kind of
// account a user meets. Wine grants every access, so only the model shows
// what Windows would refuse: the run must save its archive wherever Windows
// lets it, Windows must refuse nothing but what the design relies on (the
// user's rights keeping another account's files out), and nothing of
// another account may reach the archive, the inventory or the log, unless
// the logged-on user is an administrator who may read it anyway.
#include "job/report_job_win.h"

#include "collect/log_tail_win.h"
#include "job/geninfo_protocol.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "report/registry_sandbox_win.h"
#include "support/access_model_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"
#include "support/zip_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::LogTail;
using vantrel_test::MakeLink;
using vantrel_test::Printable;
using vantrel_test::ReadFileBytes;
using vantrel_test::RegistrySandbox;
using vantrel_test::TAccessModel;
using vantrel_test::TDenial;
using vantrel_test::TempFolder;
using vantrel_test::TPlace;
using vantrel_test::TWho;
using vantrel_test::WriteFileBytes;

const char kOthers[] = "another account's";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel_is1";

// The session user's shell's token, as the run takes it: an impersonation
// token (of this process's account under Wine).
TUserRights SessionUsersToken() {
    HANDLE own = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &own)) return TUserRights();
    ScopedKernelHandle hold(own);
    ScopedKernelHandle token;
    if (!::DuplicateTokenEx(own, TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation, TokenImpersonation,
                            token.Receive())) {
        return TUserRights();
    }
    return TUserRights::FromToken(std::move(token));
}

enum class TUserRightsKind { Token, None, OwnAreTheUsers };

// An account kind a user meets.
struct TAccountKind {
    const char* Name;
    TWho Own;       // the run's own account
    TWho AsUser;    // whom the thread is while acting as the session user
    bool Elevated;  // the run holds administrator rights
    TUserRightsKind UserRights;
    bool RunsAsAnotherAccount;  // the run's own profile (its application data) is not the user's
    bool NoDesktop;             // nobody is logged on: the archive goes into the tool's own folder
    bool OldOrderWorks;         // opening the archive as the user, as the copy used to, is granted
    bool UserMayReadOthers;     // the logged-on user is an administrator
};

const TAccountKind kKinds[] = {
    {"a: an administrator with UAC, elevated", TWho::Administrator, TWho::User, true, TUserRightsKind::Token, false,
     false, false, false},
    {"b: a standard user elevated with an administrator's credentials", TWho::Administrator, TWho::User, true,
     TUserRightsKind::Token, true, false, false, false},
    {"c: UAC off (or Windows XP): the user is a full administrator", TWho::Administrator, TWho::Administrator, true,
     TUserRightsKind::Token, false, false, true, true},
    {"d: SYSTEM with nobody logged on", TWho::System, TWho::System, true, TUserRightsKind::None, false, true, true,
     false},
    {"e: the tool started without elevation", TWho::User, TWho::User, false, TUserRightsKind::OwnAreTheUsers, false,
     false, true, false},
};

// The job's messages to the window.
std::vector<std::pair<WPARAM, LPARAM>> g_messages;
LRESULT CALLBACK Record(HWND window, UINT message, WPARAM w, LPARAM l);

// A machine for one run: the user's profile with the product installed per
// user, its data and planted links to another account's files, the
// Windows folder's Temp, and the model placing all of it.
class AccountKinds : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(Other(L"secret.txt"), kOthers);
        WriteFileBytes(Other(L"hard.txt"), kOthers);
        WriteFileBytes(Other(L"names\\other-account-name.dat"), kOthers);
        WriteFileBytes(Install(L"Vantrel.log"), "the user's log");
        WriteFileBytes(Install(L"Aerovell\\readme.txt"), "the user's readme");
        ASSERT_TRUE(MakeLink(Install(L"ClipScan.log"), Other(L"secret.txt")));
        ASSERT_TRUE(MakeLink(Install(L"VNTToolbox.log"), Other(L"hard.txt"), true));
        ASSERT_TRUE(MakeLink(Install(L"Aerovell\\logs"), Other(L"names")));
        WriteFileBytes(Data(L"core.ini"), "the user's settings");
        WriteFileBytes(Data(L"DataBase\\main.db"), "the user's database");
        ASSERT_TRUE(MakeLink(Data(L"DataBase\\stolen.db"), Other(L"hard.txt"), true));
        ASSERT_TRUE(MakeLink(Data(L"Sync"), Other(L"names")));
        for (const std::wstring& folder : {Desktop(), UserTemp(), AdminData(), SystemData()}) {
            ASSERT_TRUE(ForceDirectories(folder));
        }
        WriteFileBytes(AdminData() + L"\\Vantrel\\VNT\\core.ini", "the run account's settings");
        RegistrySandbox::SetText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", Install(L""));

        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = Record;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"VantrelAccountKindsRecorder";
        ::RegisterClassW(&window_class);
        window_ = ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    window_class.hInstance, nullptr);
        g_messages.clear();
    }
    void TearDown() override {
        for (const std::wstring& link : {Install(L"ClipScan.log"), Install(L"VNTToolbox.log"),
                                         Install(L"Aerovell\\logs"), Data(L"DataBase\\stolen.db"), Data(L"Sync")}) {
            vantrel_test::RemoveLink(link);
        }
        ::DestroyWindow(window_);
    }

    std::wstring Other(const std::wstring& relative) const { return other_.Path() + relative; }
    std::wstring Profile(const std::wstring& relative) const { return profile_.Path() + relative; }
    std::wstring Install(const std::wstring& relative) const {
        return Profile(L"AppData\\Local\\Programs\\Vantrel\\" + relative);
    }
    std::wstring Data(const std::wstring& relative) const {
        return Profile(L"AppData\\Roaming\\Vantrel\\VNT\\" + relative);
    }
    std::wstring Desktop() const { return Profile(L"Desktop\\"); }
    std::wstring UserTemp() const { return Profile(L"AppData\\Local\\Temp\\"); }
    std::wstring AdminData() const { return admin_.Path() + L"AppData\\Roaming"; }
    std::wstring SystemData() const { return system_.Path() + L"config\\systemprofile\\AppData\\Roaming"; }

    // The model of `kind`, told of every place of this machine.
    void Model(TAccessModel& model) const {
        model.Place(windows_temp_.Path(), TPlace::WindowsTemp);
        model.Place(profile_.Path(), TPlace::UserProfile);
        model.Place(other_.Path(), TPlace::OtherProfile);
        model.Place(admin_.Path(), TPlace::OtherProfile);
        model.Place(system_.Path(), TPlace::SystemFolders);
        wchar_t windows[MAX_PATH + 1] = {};
        const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
        model.Place(std::wstring(windows, length), TPlace::SystemFolders);
        model.Place(L"C:\\Program Files", TPlace::ProgramFolder);
        model.Learn(other_.Path(), TPlace::OtherProfile);
    }

    TRunRights Rights(const TAccountKind& kind) const {
        TRunRights rights;
        rights.Elevated = kind.Elevated;
        rights.SameAccount = !kind.RunsAsAnotherAccount;
        if (kind.UserRights == TUserRightsKind::Token) rights.User = SessionUsersToken();
        if (kind.UserRights == TUserRightsKind::OwnAreTheUsers) rights.User = TUserRights::OwnAreTheUsers();
        return rights;
    }

    TWorkAreaPlaces Places(const TAccountKind& kind) const {
        TWorkAreaPlaces places;
        places.Elevated = kind.Elevated;
        places.WindowsTemp = ExcludeTrailingBackslash(windows_temp_.Path());
        places.UserTemp = UserTemp();
        places.ProgramDir = GetModuleDir();
        return places;
    }

    std::wstring Target(const TAccountKind& kind) const {
        return (kind.NoDesktop ? GetModuleDir() : Desktop()) + L"Vantrel_Debug_Info.zip";
    }

    std::unique_ptr<TRunContext> Context(const TAccountKind& kind) const {
        std::unique_ptr<TRunContext> run(new TRunContext(window_, Target(kind), Rights(kind)));
        run->AppDataDir = kind.RunsAsAnotherAccount  ? AdminData()
                          : kind.Own == TWho::System ? SystemData()
                                                     : ExcludeTrailingBackslash(Profile(L"AppData\\Roaming"));
        return run;
    }

    RegistrySandbox sandbox_;
    TempFolder profile_{L"kinds user"};
    TempFolder other_{L"kinds other"};
    TempFolder admin_{L"kinds admin"};
    TempFolder system_{L"kinds windows"};
    TempFolder windows_temp_{L"kinds windows temp"};
    HWND window_ = nullptr;
};

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_GENINFO) {
        g_messages.emplace_back(w, l);
        return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

std::string DenialText(const TDenial& denial) {
    return std::string(vantrel_test::WhoName(denial.Who)) + " in " + vantrel_test::PlaceName(denial.Where) + ": " +
           Printable(denial.Path);
}

TEST_F(AccountKinds, TheJobSavesWhereWindowsLetsItAndTakesNothingOfAnotherAccount) {
    for (const TAccountKind& kind : kKinds) {
        SCOPED_TRACE(kind.Name);
        g_messages.clear();
        TAccessModel model(kind.Own, kind.AsUser);
        Model(model);
        LogTail log;
        std::unique_ptr<TRunContext> run = Context(kind);
        model.Install();
        RunReportAndNotify(DefaultReportStages(), *run, Places(kind));
        const std::vector<TDenial> denials = model.Denials();
        vantrel::SetAccessPolicy(nullptr);

        // Saved, and the area gone.
        ASSERT_FALSE(g_messages.empty());
        EXPECT_EQ(g_messages.back().first, static_cast<WPARAM>(GENINFO_DONE));
        ASSERT_TRUE(FileExists(Target(kind)));
        const std::string archive = ReadFileBytes(Target(kind));
        ::DeleteFileW(Target(kind).c_str());
        EXPECT_TRUE(vantrel_test::TreeOf(windows_temp_.Path()).empty());
        EXPECT_TRUE(vantrel_test::TreeOf(UserTemp()).empty());

        // Windows refused nothing but what the design relies on: the user's
        // rights keeping another account's files out.
        bool relied_on = false;
        for (const TDenial& denial : denials) {
            const bool expected = denial.Who == TWho::User && denial.Where == TPlace::OtherProfile;
            EXPECT_TRUE(expected) << DenialText(denial);
            relied_on = relied_on || expected;
        }
        EXPECT_EQ(relied_on, kind.AsUser == TWho::User);

        // What the archive, its inventory and the log hold of the other
        // account.
        bool others_bytes = false;
        std::wstring report;
        std::string settings;
        for (const auto& entry : vantrel_test::InspectZip(archive).Entries) {
            others_bytes = others_bytes || entry.Data.find(kOthers) != std::string::npos;
            if (entry.Name == "Vantrel_Debug_Info.txt") report = DecodeUtf16Le(entry.Data.substr(2));
            if (entry.Name == "AppData/core.ini") settings = entry.Data;
        }
        // The run's own application data comes, whoever's it is.
        EXPECT_EQ(settings, kind.RunsAsAnotherAccount  ? "the run account's settings"
                            : kind.Own == TWho::System ? ""
                                                       : "the user's settings");
        EXPECT_EQ(others_bytes, kind.UserMayReadOthers);
        EXPECT_NE(report.find(L"\r\nVantrel.log   Ver:"), std::wstring::npos);  // the user's own files are listed
        EXPECT_EQ(report.find(L"\r\nVNTToolbox.log   Ver:") != std::wstring::npos, kind.UserMayReadOthers);
        EXPECT_EQ(report.find(L"\r\nClipScan.log   Ver:") != std::wstring::npos, kind.UserMayReadOthers);
        bool others_names = false;
        for (const std::wstring& line : log.NewLines()) {
            others_names = others_names || line.find(L"other-account-name") != std::wstring::npos;
        }
        EXPECT_EQ(others_names, kind.UserMayReadOthers);
    }
}

// The order the copy to the target had before: the archive opened while
// acting as the user. The area admits only the administrators and the
// system, so the model refuses it wherever the user's own rights are not an
// administrator's: every elevated run under User Account Control failed.
TEST_F(AccountKinds, TheOldOrderOfTheCopyIsRefusedUnderUserAccountControl) {
    for (const TAccountKind& kind : kKinds) {
        SCOPED_TRACE(kind.Name);
        TAccessModel model(kind.Own, kind.AsUser);
        Model(model);
        std::unique_ptr<TRunContext> run = Context(kind);
        TReportStages defaults = DefaultReportStages();
        TReportStages stages = JobOwnStages();
        StageFunction(stages, L"archive") = StageFunction(defaults, L"archive");
        model.Install();
        TRunArea area(Places(kind));
        const std::wstring archive = GenInfo(stages, *run, area);
        ASSERT_TRUE(FileExists(archive));
        bool opened = false;
        {
            TActAsUser as_user(run->Rights().User);
            opened =
                OpenFileHandle(archive, GENERIC_READ, kShareRead, OPEN_EXISTING, kSequential | kOpenLinkItself).Valid();
        }
        EXPECT_EQ(opened, kind.OldOrderWorks);
        // The copy as it is now saves in every kind.
        EXPECT_TRUE(SaveToTarget(archive, Target(kind), run->Rights().User));
        vantrel::SetAccessPolicy(nullptr);
        ::DeleteFileW(Target(kind).c_str());
    }
}

}  // namespace
}  // namespace vantrel
