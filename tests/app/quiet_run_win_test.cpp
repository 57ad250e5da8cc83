#include "app/quiet_run_win.h"

#include "collect/log_tail_win.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/system/elevation_win.h"
#include "platform/system/identity_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::ReadFileBytes;
using vantrel_test::TempFolder;
using vantrel_test::TreeOf;
using vantrel_test::WriteFileBytes;

const wchar_t kBase[] = L"Vantrel_Debug_Info_PC-0142_20240307T090501Z";

// Runs without a window with stand-in stages: each records its call; the
// packing row writes the text report as the archive. The run's area is made
// in a folder of the test's own; the desktop is a folder of the test's own.
class QuietRun : public ::testing::Test {
protected:
    void SetUp() override {
        setup_.SessionUser = L"alice";
        setup_.ComputerName = L"PC-0142";
        setup_.Utc.Year = 2024;
        setup_.Utc.Month = 3;
        setup_.Utc.Day = 7;
        setup_.Utc.Hour = 9;
        setup_.Utc.Minute = 5;
        setup_.Utc.Second = 1;
        setup_.Places.Elevated = false;
        setup_.Places.UserTemp = temp_.Path();
        setup_.Stages = JobOwnStages();
        Set(L"system overview", [this](TRunContext&, TStringList& lines) { Trace(L"overview", lines); });
        Set(L"processes", [this](TRunContext&, TStringList& lines) { Trace(L"processes", lines); });
        Set(L"product files", [this](TRunContext& run, TStringList& lines) {
            read_bound_by_user_ = run.ReadRights().BoundByUser();
            Trace(L"products", lines);
        });
        Set(L"archive", [this](TRunContext& run, TStringList&) {
            calls_.push_back(L"zip");
            archive_bytes_ = ReadFileBytes(run.WorkDir + L"Vantrel_Debug_Info.txt");
            WriteFileBytes(run.ArchivePath, archive_bytes_);
        });
        setup_.DesktopTarget = [this](const TUserRights&) {
            desktop_asked_ = true;
            return desktop_.Path() + L"Vantrel_Debug_Info.zip";
        };
        setup_.Print = [this](bool error, const std::wstring& text) { printed_.emplace_back(error, text); };
    }

    void Set(const wchar_t* name, TStageFn function) { StageFunction(setup_.Stages, name) = std::move(function); }
    void Trace(const wchar_t* name, TStringList& lines) {
        calls_.push_back(name);
        lines.push_back(std::wstring(name) + L" line");
    }

    int Run(std::initializer_list<std::wstring> arguments) {
        const TCommandLine command = ParseCommandLine(std::vector<std::wstring>(arguments));
        EXPECT_EQ(command.Kind, TCommandKind::Quiet);
        return RunQuiet(command, setup_);
    }

    // The texts printed for the caller on the error stream, and on the other.
    std::vector<std::wstring> Printed(bool error) const {
        std::vector<std::wstring> texts;
        for (const auto& p : printed_) {
            if (p.first == error) texts.push_back(p.second);
        }
        return texts;
    }

    // The error lines printed hold `part`, and so does the log.
    void ExpectFailureSaid(const std::wstring& part) const {
        const auto has = [&part](const std::wstring& line) { return line.find(part) != std::wstring::npos; };
        const std::vector<std::wstring> errors = Printed(true);
        EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), has)) << vantrel_test::Printable(part);
        for (const std::wstring& line : errors)
            EXPECT_TRUE(StartsWith(line, L"Error: ")) << vantrel_test::Printable(line);
        const std::vector<std::wstring> logged = log_.NewLines();
        EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), has)) << vantrel_test::Printable(part);
    }

    // Nothing of the run is left in its temporary folder.
    void ExpectNoAreaLeft() const { EXPECT_EQ(TreeOf(temp_.Path()), std::vector<std::wstring>{}); }

    vantrel_test::LogTail log_;
    TempFolder temp_{L"quiet temp"};
    TempFolder out_{L"quiet out"};
    TempFolder desktop_{L"quiet desktop"};
    TempFolder outside_{L"quiet outside"};
    TQuietRun setup_;
    std::vector<std::wstring> calls_;
    std::vector<std::pair<bool, std::wstring>> printed_;
    std::string archive_bytes_;
    bool read_bound_by_user_ = false;
    bool desktop_asked_ = false;
};

// Removes a planted link itself however the test ends (the folder's removal
// would act on what a file link points to under Wine).
struct LinkRemoval {
    std::wstring Path;
    ~LinkRemoval() { vantrel_test::RemoveLink(Path); }
};

const std::vector<std::wstring> kAllCalls = {L"overview", L"processes", L"products", L"zip"};

TEST_F(QuietRun, SavesANewArchiveInTheOutFolderAndSaysWhere) {
    EXPECT_EQ(Run({L"/quiet", L"/out", out_.Path()}), kExitSaved);
    EXPECT_EQ(calls_, kAllCalls);
    const std::wstring name = std::wstring(kBase) + L".zip";
    EXPECT_EQ(TreeOf(out_.Path()), std::vector<std::wstring>{name});
    EXPECT_EQ(ReadFileBytes(out_.Path() + name), archive_bytes_);
    EXPECT_EQ(Printed(false), std::vector<std::wstring>{L"Saved: " + out_.Path() + name + L"\r\n"});
    EXPECT_EQ(Printed(true), std::vector<std::wstring>{});
    EXPECT_FALSE(desktop_asked_);
    ExpectNoAreaLeft();
}

// Whatever has the archive's name already, a file, a folder or a link, stays
// as it was; the run takes the next counter.
TEST_F(QuietRun, TakenNamesStayAsTheyWereAndTheCounterGoesOn) {
    const std::wstring base = out_.Path() + kBase;
    WriteFileBytes(base + L".zip", "an earlier archive");
    WriteFileBytes(base + L"_2.zip\\inside.txt", "a folder");
    WriteFileBytes(outside_.Path() + L"canary.txt", "canary");
    ASSERT_TRUE(vantrel_test::MakeLink(base + L"_3.zip", outside_.Path() + L"canary.txt"));
    const LinkRemoval remove_link{base + L"_3.zip"};

    EXPECT_EQ(Run({L"/quiet", L"/out", out_.Path()}), kExitSaved);

    EXPECT_EQ(ReadFileBytes(base + L"_4.zip"), archive_bytes_);
    EXPECT_EQ(Printed(false), std::vector<std::wstring>{L"Saved: " + base + L"_4.zip\r\n"});
    EXPECT_EQ(ReadFileBytes(base + L".zip"), "an earlier archive");
    EXPECT_EQ(ReadFileBytes(base + L"_2.zip\\inside.txt"), "a folder");
    EXPECT_EQ(ReadFileBytes(outside_.Path() + L"canary.txt"), "canary");
    const std::wstring name = kBase;
    EXPECT_EQ(TreeOf(out_.Path()),
              (std::vector<std::wstring>{name + L".zip", name + L"_2.zip\\", name + L"_2.zip\\inside.txt",
                                         name + L"_3.zip", name + L"_4.zip"}));
}

// A target that cannot be written is found before any stage runs, and the
// run leaves nothing anywhere.
TEST_F(QuietRun, AnOutFolderThatCannotBeWrittenEndsTheRunBeforeItStarts) {
    WriteFileBytes(out_.Path() + L"a file", "not a folder");
    WriteFileBytes(outside_.Path() + L"canary.txt", "canary");
    ASSERT_TRUE(vantrel_test::MakeLink(out_.Path() + L"linked folder", outside_.Path()));
    const LinkRemoval remove_link{out_.Path() + L"linked folder"};
    const std::vector<std::wstring> out_before = TreeOf(out_.Path());
    struct Case {
        const wchar_t* name;
        std::wstring folder;
    };
    const Case cases[] = {
        {L"missing", out_.Path() + L"missing"},
        {L"a file", out_.Path() + L"a file"},
        {L"a folder link a user made", out_.Path() + L"linked folder"},
        {L"below a file", out_.Path() + L"a file\\below"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.name));
        printed_.clear();
        EXPECT_EQ(Run({L"/quiet", L"/out", c.folder}), kExitNoTarget);
        EXPECT_EQ(calls_, std::vector<std::wstring>{});
        ExpectFailureSaid(L"Error: target: Cannot create a file in the folder " + c.folder + L"\\");
        EXPECT_EQ(Printed(false), std::vector<std::wstring>{});
        EXPECT_EQ(TreeOf(out_.Path()), out_before);
        EXPECT_EQ(TreeOf(outside_.Path()), std::vector<std::wstring>{L"canary.txt"});
        ExpectNoAreaLeft();
    }
}

TEST_F(QuietRun, NobodyLoggedOnAndNoOutFolderIsNoTarget) {
    setup_.SessionUser = L"";
    EXPECT_EQ(Run({L"/quiet"}), kExitNoTarget);
    EXPECT_EQ(calls_, std::vector<std::wstring>{});
    EXPECT_FALSE(desktop_asked_);
    ExpectFailureSaid(L"Error: target: Nobody is logged on");
    EXPECT_EQ(TreeOf(desktop_.Path()), std::vector<std::wstring>{});
    ExpectNoAreaLeft();
}

// With nobody logged on there are no user's rights to borrow: the user's
// data is read with the run's own rights (under the checks that then
// apply), while with a session user an elevated run reads it as that user.
TEST_F(QuietRun, WithNobodyLoggedOnTheUsersDataIsReadWithoutTheUsersRights) {
    const bool elevated = IsRunElevated();
    setup_.SessionUser = L"";
    EXPECT_EQ(Run({L"/quiet", L"/out", out_.Path()}), kExitSaved);
    EXPECT_EQ(read_bound_by_user_, !elevated);  // unelevated, the run's own rights are a user's

    // Non-vacuous: the session user's rights are borrowed when there is one.
    setup_.SessionUser = GetSessionUserName();
    ASSERT_NE(setup_.SessionUser, L"");
    read_bound_by_user_ = false;
    EXPECT_EQ(Run({L"/quiet", L"/out", out_.Path()}), kExitSaved);
    EXPECT_TRUE(read_bound_by_user_);
}

TEST_F(QuietRun, AFailedJobExitsWithOneAndLeavesNoFile) {
    Set(L"processes", [](TRunContext&, TStringList&) { throw EToolError("inventory broke", 5); });
    EXPECT_EQ(Run({L"/quiet", L"/out", out_.Path()}), kExitJobFailed);
    EXPECT_EQ(calls_, std::vector<std::wstring>{L"overview"});
    ExpectFailureSaid(L"Error: processes: inventory broke (Windows error 5");
    ExpectFailureSaid(L"Error: report job: No archive was made");
    EXPECT_EQ(Printed(false), std::vector<std::wstring>{});
    EXPECT_EQ(TreeOf(out_.Path()), std::vector<std::wstring>{});  // the claimed file went too
    ExpectNoAreaLeft();
}

// Without "/out", the desktop the setup names: the archive's fixed name,
// an old archive replaced, as the window's run does.
TEST_F(QuietRun, WithoutAnOutFolderTheDesktopGetsTheArchiveAsTheWindowsRunDoes) {
    const std::wstring target = desktop_.Path() + L"Vantrel_Debug_Info.zip";
    WriteFileBytes(target, "an earlier archive");
    EXPECT_EQ(Run({L"-Quiet"}), kExitSaved);
    EXPECT_TRUE(desktop_asked_);
    EXPECT_EQ(calls_, kAllCalls);
    EXPECT_EQ(ReadFileBytes(target), archive_bytes_);
    EXPECT_EQ(TreeOf(desktop_.Path()), std::vector<std::wstring>{L"Vantrel_Debug_Info.zip"});
    EXPECT_EQ(Printed(false), std::vector<std::wstring>{L"Saved: " + target + L"\r\n"});
    ExpectNoAreaLeft();

    // A desktop folder that does not exist is no target.
    calls_.clear();
    setup_.DesktopTarget = [this](const TUserRights&) { return desktop_.Path() + L"gone\\Vantrel_Debug_Info.zip"; };
    EXPECT_EQ(Run({L"/quiet"}), kExitNoTarget);
    EXPECT_EQ(calls_, std::vector<std::wstring>{});
    ExpectFailureSaid(L"Error: target: No desktop folder for " + desktop_.Path() + L"gone\\");
}

// A drive's root as "/out" ("Q:\") is that root, not the drive's current
// folder (which a process keeps for every drive it went to).
TEST_F(QuietRun, ADrivesRootIsTheRoot) {
    WriteFileBytes(out_.Path() + L"current\\keep.txt", "");
    ASSERT_TRUE(vantrel_test::MapDriveLetter(L'Q', out_.Path()));
    // The variable in which the system keeps the drive's current folder.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"=Q:", L"Q:\\current"));
    const int code = Run({L"/quiet", L"/out", L"Q:\\"});
    ::SetEnvironmentVariableW(L"=Q:", nullptr);
    vantrel_test::UnmapDriveLetter(L'Q');
    EXPECT_EQ(code, kExitSaved);
    const std::wstring name = std::wstring(kBase) + L".zip";
    EXPECT_EQ(Printed(false), std::vector<std::wstring>{L"Saved: Q:\\" + name + L"\r\n"});
    EXPECT_EQ(TreeOf(out_.Path()), (std::vector<std::wstring>{L"current\\", L"current\\keep.txt", name}));
}

}  // namespace
}  // namespace vantrel
