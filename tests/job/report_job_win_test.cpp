#include "job/report_job_win.h"

#include "collect/log_tail_win.h"
#include "job/geninfo_protocol.h"
#include "platform/base/contain_win.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/system/folders_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"
#include "support/zip_reader.h"
#include "zip/zip_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Set on a thread, the next allocation there of at least this many bytes
// fails as when memory runs out (0: none fails).
thread_local std::size_t g_fail_allocation_from = 0;

void* operator new(std::size_t size) {
    if (g_fail_allocation_from != 0 && size >= g_fail_allocation_from) {
        g_fail_allocation_from = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

// The runtime's operator delete frees what malloc gave.

namespace vantrel {
namespace {

using vantrel_test::LogTail;
using vantrel_test::ReadFileBytes;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

using TMessage = std::pair<WPARAM, LPARAM>;

// A message-only window on the test's own thread that records every WM_GENINFO;
// the job runs on the same thread, so SendMessageW reaches it directly.
class RecordingWindow {
public:
    RecordingWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VantrelRecordingWindow";
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RecordingWindow() { ::DestroyWindow(window_); }
    HWND Handle() const { return window_; }
    std::vector<TMessage> Messages;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_GENINFO) {
            auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self != nullptr) self->Messages.emplace_back(wparam, lparam);
            return 0;
        }
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    HWND window_ = nullptr;
};

// Runs each test with a private temporary folder (TMP/TEMP) and target; the
// run's area is made in a folder of the test's own, as for an unelevated run
// unless a test says otherwise.
class ReportJob : public ::testing::Test {
protected:
    void SetUp() override {
        saved_tmp_ = Environment(L"TMP");
        saved_temp_ = Environment(L"TEMP");
        ::SetEnvironmentVariableW(L"TMP", temp_.Path().c_str());
        ::SetEnvironmentVariableW(L"TEMP", temp_.Path().c_str());
        target_file_ = target_.Path() + L"Vantrel_Debug_Info.zip";
        places_.Elevated = false;
        places_.UserTemp = temp_.Path();
    }
    void TearDown() override {
        ::SetEnvironmentVariableW(L"TMP", saved_tmp_.c_str());
        ::SetEnvironmentVariableW(L"TEMP", saved_temp_.c_str());
    }
    static std::wstring Environment(const wchar_t* name) {
        wchar_t buffer[MAX_PATH + 1] = {};
        ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
        return buffer;
    }

    // A run of this process's rights that reports to the recorder and saves
    // at the target.
    void Run(const TReportStages& stages) {
        TRunContext run(recorder_.Handle(), target_file_, TRunRights::OfThisProcess());
        RunReportAndNotify(stages, run, places_);
    }

    static void Set(TReportStages& stages, const wchar_t* name, TStageFn function) {
        StageFunction(stages, name) = std::move(function);
    }

    // Stages that each leave a trace, and a packer that writes a stand-in
    // archive holding the text report; the working folder and archive path
    // the job handed over are kept.
    TReportStages RecordingStages() {
        TReportStages stages = JobOwnStages();
        Set(stages, L"system overview", [this](TRunContext&, TStringList& lines) { Trace(L"overview", lines); });
        Set(stages, L"processes", [this](TRunContext&, TStringList& lines) { Trace(L"processes", lines); });
        Set(stages, L"services", [this](TRunContext&, TStringList& lines) { Trace(L"services", lines); });
        Set(stages, L"system information start", [this](TRunContext& run, TStringList&) {
            calls_.push_back(L"start systeminfo");
            work_dir_ = run.WorkDir;
            // An empty raw path: a capture that runs nothing.
            run.SystemInfo.reset(new TSystemInfoCapture(L"", 0));
            started_ = run.SystemInfo.get();
        });
        Set(stages, L"autoruns", [this](TRunContext&, TStringList& lines) {
            calls_.push_back(L"autoruns");
            lines.push_back(L"autoruns line");
        });
        Set(stages, L"install folder", [this](TRunContext&, TStringList&) { calls_.push_back(L"installdir"); });
        Set(stages, L"installed files", [this](TRunContext&, TStringList& lines) { Trace(L"installed", lines); });
        Set(stages, L"Apple libraries", [this](TRunContext& run, TStringList&) {
            EXPECT_EQ(run.WorkDir, work_dir_);
            calls_.push_back(L"apple");
        });
        Set(stages, L"system information", [this](TRunContext& run, TStringList&) {
            EXPECT_EQ(run.WorkDir, work_dir_);
            EXPECT_EQ(run.SystemInfo.get(), started_);  // what the start gave, still alive
            calls_.push_back(L"systeminfo");
        });
        Set(stages, L"product files", [this](TRunContext& run, TStringList&) {
            EXPECT_EQ(run.WorkDir, work_dir_);
            calls_.push_back(L"products");
        });
        Set(stages, L"archive", [this](TRunContext& run, TStringList&) {
            calls_.push_back(L"zip");
            archive_ = run.ArchivePath;
            archive_bytes_ = ReadFileBytes(run.WorkDir + L"Vantrel_Debug_Info.txt");
            WriteFileBytes(run.ArchivePath, archive_bytes_);
        });
        return stages;
    }

    void Trace(const wchar_t* name, TStringList& lines) {
        calls_.push_back(name);
        lines.push_back(std::wstring(name) + L" line");
    }

    // GENINFO_START with 10, the steps, then the end message unless it is GENINFO_START.
    static std::vector<TMessage> Steps(std::initializer_list<LPARAM> positions, WPARAM end) {
        std::vector<TMessage> expected = {{GENINFO_START, 10}};
        for (LPARAM p : positions) expected.emplace_back(GENINFO_STEP, p);
        if (end != GENINFO_START) expected.emplace_back(end, 0);
        return expected;
    }

    // The target's folder holds the target alone (no part file stays).
    void ExpectOnlyTheTarget() const {
        EXPECT_EQ(vantrel_test::TreeOf(target_.Path()), std::vector<std::wstring>{L"Vantrel_Debug_Info.zip"});
    }

    // Made before SetUp points TMP at temp_, so they lie outside it.
    TempFolder temp_{L"job"};
    TempFolder target_{L"target"};
    TempFolder outside_{L"outside"};
    TempFolder windows_temp_{L"windows temp"};
    RecordingWindow recorder_;
    TWorkAreaPlaces places_;
    std::vector<std::wstring> calls_;
    std::wstring work_dir_;
    TSystemInfoCapture* started_ = nullptr;
    std::wstring archive_;
    std::string archive_bytes_;
    std::wstring saved_tmp_;
    std::wstring saved_temp_;
    std::wstring target_file_;
};

TEST_F(ReportJob, AllStagesInOrderThenSevenStepsAndDone) {
    LogTail log;
    Run(RecordingStages());

    EXPECT_EQ(log.NewLines(), std::vector<std::wstring>{});  // a run without failures writes nothing to the log

    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_DONE));
    // The capture starts first and is collected last, just before packing.
    const std::vector<std::wstring> order = {L"start systeminfo", L"overview",   L"processes", L"services",
                                             L"autoruns",         L"installdir", L"installed", L"apple",
                                             L"products",         L"systeminfo", L"zip"};
    EXPECT_EQ(calls_, order);
    // The working folder and the archive were in one new area of the run:
    // "GetInfoDir." and 32 random digits, the working folder "GetInfoDir\"
    // inside, the archive beside it. Nothing of the run is left.
    const std::wstring area = ExtractFilePath(ExcludeTrailingBackslash(work_dir_));
    EXPECT_EQ(ExtractFilePath(ExcludeTrailingBackslash(area)), temp_.Path());
    EXPECT_EQ(ExtractFileName(ExcludeTrailingBackslash(area)).size(), std::wstring(L"GetInfoDir.").size() + 32);
    EXPECT_EQ(ExtractFileName(ExcludeTrailingBackslash(work_dir_)), L"GetInfoDir");
    EXPECT_EQ(archive_, area + L"Vantrelt_Debug_Info.zip");
    EXPECT_EQ(vantrel_test::TreeOf(temp_.Path()), std::vector<std::wstring>{});

    // The target is a byte copy of the archive.
    std::string report = ReadFileBytes(target_file_);
    EXPECT_EQ(report, archive_bytes_);
    ExpectOnlyTheTarget();
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report.substr(0, 2), std::string("\xFF\xFE", 2));
    std::wstring text = DecodeUtf16Le(report.substr(2));
    EXPECT_EQ(text.substr(0, 9), L"Version:U");  // the test program has no version resource
    // exactly two header lines, then the sections; every line ends with CR LF
    std::size_t date = text.find(L"\r\nDate:");
    ASSERT_NE(date, std::wstring::npos);
    EXPECT_EQ(text.find(L"\r\n"), date);
    std::size_t date_end = text.find(L"\r\n", date + 2);
    EXPECT_EQ(text.substr(date_end),
              L"\r\noverview line\r\nprocesses line\r\nservices line\r\nautoruns line\r\n"
              L"installed line\r\n");
}

TEST_F(ReportJob, AFailingStageEndsTheRunAndCleansUp) {
    TReportStages stages = RecordingStages();
    Set(stages, L"processes", [this](TRunContext&, TStringList&) {
        calls_.push_back(L"processes");
        throw EToolError("process query failed");
    });
    LogTail log;

    Run(stages);

    EXPECT_EQ(log.NewLines(), std::vector<std::wstring>{L"Error: processes: process query failed"});
    EXPECT_EQ(recorder_.Messages, Steps({1}, GENINFO_FAILED));
    EXPECT_EQ(calls_, (std::vector<std::wstring>{L"start systeminfo", L"overview", L"processes"}));
    EXPECT_TRUE(vantrel_test::TreeOf(temp_.Path()).empty());
    EXPECT_FALSE(FileExists(target_file_));
}

// The capture started early is ended and its raw output removed when a later
// stage ends the run; the capture itself is not reached.
TEST_F(ReportJob, AFailureAfterTheCaptureStartedEndsItAndLeavesNothing) {
    TReportStages stages = RecordingStages();
    Set(stages, L"system information start", [this](TRunContext& run, TStringList&) {
        calls_.push_back(L"start systeminfo");
        work_dir_ = run.WorkDir;
        run.SystemInfo = StartSystemInfo(run.AreaDir, 60000);
        started_ = run.SystemInfo.get();
    });
    bool raw_seen = false;
    Set(stages, L"installed files", [&](TRunContext& run, TStringList&) {
        calls_.push_back(L"installed");
        EXPECT_TRUE(started_->Running());
        for (const std::wstring& name : vantrel_test::TreeOf(run.AreaDir)) {
            raw_seen = raw_seen || StartsWith(name, L"SystemInfo_");
        }
        throw EToolError("install folder unreadable");
    });

    Run(stages);

    EXPECT_TRUE(raw_seen);  // the command was writing into the area
    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3}, GENINFO_FAILED));
    EXPECT_EQ(calls_, (std::vector<std::wstring>{L"start systeminfo", L"overview", L"processes", L"services",
                                                 L"autoruns", L"installdir", L"installed"}));
    EXPECT_TRUE(vantrel_test::TreeOf(temp_.Path()).empty());
    EXPECT_FALSE(FileExists(target_file_));
}

// Out of memory after the stages (here for the copy buffer of the target's
// copy) still ends the run with the failure message, removes the area and
// leaves its line.
TEST_F(ReportJob, OutOfMemoryAfterTheStagesEndsTheRunCleanly) {
    TReportStages stages = RecordingStages();
    TStageFn pack = StageFunction(stages, L"archive");
    StageFunction(stages, L"archive") = [pack](TRunContext& run, TStringList& lines) {
        pack(run, lines);
        g_fail_allocation_from = 64 * 1024;
    };
    LogTail log;

    Run(stages);

    EXPECT_EQ(g_fail_allocation_from, 0u);  // the failure happened
    g_fail_allocation_from = 0;
    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_FAILED));
    EXPECT_EQ(log.NewLines(), std::vector<std::wstring>{L"Error: report job: Out of memory"});
    EXPECT_TRUE(vantrel_test::TreeOf(temp_.Path()).empty());
    EXPECT_FALSE(FileExists(target_file_));
}

TEST_F(ReportJob, FailedPackingLeavesNoTarget) {
    TReportStages stages = RecordingStages();
    Set(stages, L"archive",
        [](TRunContext&, TStringList&) { throw EToolError("Not enough room to write archive", ERROR_DISK_FULL); });
    LogTail log;
    {
        TRunArea area(places_);
        ASSERT_TRUE(area.Ready());
        TRunContext run(recorder_.Handle(), target_file_, TRunRights());
        EXPECT_EQ(GenInfo(stages, run, area), area.ArchivePath());  // the path was known before packing failed
        EXPECT_FALSE(DirectoryExists(area.WorkDir()));
    }
    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6}, GENINFO_START));
    EXPECT_TRUE(vantrel_test::TreeOf(temp_.Path()).empty());
    // The one line names the stage, the reason and the system's error.
    ASSERT_FALSE(SystemErrorText(ERROR_DISK_FULL).empty());
    EXPECT_EQ(log.NewLines(), std::vector<std::wstring>{L"Error: archive: Not enough room to write archive (Windows "
                                                        L"error 112: " +
                                                        SystemErrorText(ERROR_DISK_FULL) + L")"});
}

TEST_F(ReportJob, AFailingAutorunsSectionIsSkippedAlone) {
    TReportStages stages = RecordingStages();
    Set(stages, L"autoruns", [](TRunContext&, TStringList& lines) {
        lines.push_back(L"autoruns line");  // taken back with the section
        throw EToolError("Invalid data type for 'x'");
    });
    LogTail log;

    Run(stages);

    EXPECT_EQ(log.NewLines(), std::vector<std::wstring>{L"Error: autoruns: Invalid data type for 'x'"});
    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_DONE));
    std::wstring text = DecodeUtf16Le(ReadFileBytes(target_file_).substr(2));
    EXPECT_EQ(text.find(L"autoruns line"), std::wstring::npos);
    EXPECT_NE(text.find(L"services line\r\ninstalled line"), std::wstring::npos);
}

// What an earlier run or another program left in the temporary folder, held
// open or not, is neither reused, nor emptied, nor packed: each run starts in
// an empty area of its own.
TEST_F(ReportJob, LeftoversOfEarlierRunsAreNeitherUsedNorTouched) {
    WriteFileBytes(temp_.Path() + L"GetInfoDir\\AppData\\core.ini", "stale copy");
    WriteFileBytes(temp_.Path() + L"Vantrelt_Debug_Info.zip", "stale archive");
    vantrel::ScopedFileHandle held(::CreateFileW((temp_.Path() + L"GetInfoDir\\AppData\\core.ini").c_str(),
                                                 GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    vantrel::ScopedFileHandle viewer(::CreateFileW((temp_.Path() + L"Vantrelt_Debug_Info.zip").c_str(), GENERIC_READ, 0,
                                                   nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid() && viewer.Valid());
    TReportStages stages = RecordingStages();
    Set(stages, L"product files", [](TRunContext& run, TStringList&) {
        EXPECT_EQ(vantrel_test::TreeOf(run.WorkDir), std::vector<std::wstring>{L"Vantrel_Debug_Info.txt"});
    });

    Run(stages);

    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_EQ(ReadFileBytes(target_file_), archive_bytes_);  // this run's archive, not the stale one
    held.Reset();
    viewer.Reset();
    EXPECT_EQ(vantrel_test::TreeOf(temp_.Path()),
              (std::vector<std::wstring>{L"GetInfoDir\\", L"GetInfoDir\\AppData\\", L"GetInfoDir\\AppData\\core.ini",
                                         L"Vantrelt_Debug_Info.zip"}));
    EXPECT_EQ(ReadFileBytes(temp_.Path() + L"Vantrelt_Debug_Info.zip"), "stale archive");
}

TEST_F(ReportJob, NoArchiveMeansFailedAndAnOldTargetStays) {
    WriteFileBytes(target_file_, "kept");
    TReportStages stages = RecordingStages();
    Set(stages, L"archive", nullptr);  // nothing packs

    Run(stages);

    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_FAILED));
    EXPECT_EQ(ReadFileBytes(target_file_), "kept");
}

TEST_F(ReportJob, AnOldTargetIsReplacedOnlyByACompleteCopy) {
    WriteFileBytes(target_file_, "old");
    Run(RecordingStages());
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_EQ(ReadFileBytes(target_file_), archive_bytes_);
    ExpectOnlyTheTarget();

    // A target that cannot be replaced (held open by another program) keeps
    // its content, and no partial copy stays.
    recorder_.Messages.clear();
    WriteFileBytes(target_file_, "kept");
    HANDLE held =
        ::CreateFileW(target_file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LogTail log;
    Run(RecordingStages());
    ::CloseHandle(held);
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_FAILED, 0));
    // The failed copy leaves its line with the Windows error.
    const std::vector<std::wstring> lines = log.NewLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(StartsWith(lines[0],
                           L"Error: copy to the target: Cannot give the copy the name "
                           L"Vantrel_Debug_Info.zip (Windows error "))
        << vantrel_test::Printable(lines[0]);
    EXPECT_EQ(ReadFileBytes(target_file_), "kept");
    ExpectOnlyTheTarget();

    // The worker is back to its own rights afterwards.
    HANDLE token = nullptr;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
}

TEST_F(ReportJob, WithoutATemporaryFolderTheAreaIsMadeInTheToolsFolder) {
    TempFolder program(L"program");
    places_.UserTemp = temp_.Path() + L"missing\\";
    places_.ProgramDir = program.Path();
    LogTail log;
    Run(RecordingStages());
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    // The refused place leaves its line with the reason.
    const std::vector<std::wstring> lines = log.NewLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(StartsWith(lines[0], L"Error: working area: Cannot create the working area in " + places_.UserTemp +
                                         L" (Windows error 3: "))
        << vantrel_test::Printable(lines[0]);
    EXPECT_EQ(ExtractFilePath(ExcludeTrailingBackslash(ExtractFilePath(ExcludeTrailingBackslash(work_dir_)))),
              program.Path());
    EXPECT_TRUE(vantrel_test::TreeOf(program.Path()).empty());
}

// Ordinary machines: a temporary folder reached through a folder link, on a
// drive letter mapped to another folder, with blanks, non-ASCII letters and
// the characters "&", "!" and "%" in its path. Each run saves its archive
// and leaves nothing behind.
TEST_F(ReportJob, OrdinaryTemporaryFoldersWork) {
    const std::wstring real = temp_.Path() + L"real temp\\";
    ASSERT_TRUE(::CreateDirectoryW(ExcludeTrailingBackslash(real).c_str(), nullptr));
    ASSERT_TRUE(vantrel_test::MakeLink(temp_.Path() + L"linked temp", real));
    ASSERT_TRUE(vantrel_test::MapDriveLetter(L'Q', real));
    const std::vector<std::wstring> temps = {
        temp_.Path() + L"linked temp\\",
        L"Q:\\",
        temp_.Path() + L"with blanks and \u00e9t\u00e9 \u65e5\u672c\\",
        temp_.Path() + L"Bob&Ann! 100%TEMP%\\",
    };
    for (const std::wstring& temp : temps) {
        SCOPED_TRACE(vantrel_test::Printable(temp));
        ::CreateDirectoryW(ExcludeTrailingBackslash(temp).c_str(), nullptr);
        recorder_.Messages.clear();
        places_.UserTemp = temp;
        TReportStages stages = RecordingStages();
        // The real capture: its raw output file lies in the temporary
        // folder's area (beside the working folder, never in it) while the
        // command runs, and its lines reach the archive.
        TReportStages defaults = DefaultReportStages();
        for (const wchar_t* name : {L"system information start", L"system information"}) {
            Set(stages, name, StageFunction(defaults, name));
        }
        std::wstring raw;
        Set(stages, L"autoruns", [this, &raw](TRunContext& run, TStringList&) {
            work_dir_ = run.WorkDir;
            for (const std::wstring& name : vantrel_test::TreeOf(run.AreaDir)) {
                if (StartsWith(name, L"SystemInfo_")) raw = run.AreaDir + name;
            }
        });
        Set(stages, L"archive", [this](TRunContext& run, TStringList&) {
            archive_ = run.ArchivePath;
            ZipFolder(run.WorkDir, run.ArchivePath, run.Collected.Files(), run.Late);
            archive_bytes_ = ReadFileBytes(run.ArchivePath);
        });
        Run(stages);
        EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
        EXPECT_TRUE(StartsWith(archive_, temp));
        EXPECT_TRUE(StartsWith(raw, temp)) << vantrel_test::Printable(raw);
        EXPECT_EQ(ReadFileBytes(target_file_), archive_bytes_);
        std::wstring system_info;
        for (const auto& entry : vantrel_test::InspectZip(archive_bytes_).Entries) {
            if (entry.Name == "SystemInfo.txt") system_info = DecodeUtf16Le(entry.Data.substr(2));
        }
        EXPECT_NE(system_info.find(L"\r\n\r\n===== System =====\r\n"), std::wstring::npos);
        std::string left;
        for (const std::wstring& entry : vantrel_test::TreeOf(temp)) left += " " + vantrel_test::Printable(entry);
        EXPECT_EQ(left, "") << "left in the temporary folder";
    }
    vantrel_test::UnmapDriveLetter(L'Q');
    vantrel_test::RemoveLink(temp_.Path() + L"linked temp");
}

// The window makes the run ready when it opens: the area, and the command
// started in it while the user reads. Closed without a run, that ends the
// command and removes the area; a run adopts the capture instead of starting
// another one, however far the command got; one older than the limit is
// ended and made again.
TEST_F(ReportJob, ARunMadeReadyIsAdoptedOrLeavesNothing) {
    {
        TPreparedRun closed(places_, true, 60000);
        ASSERT_TRUE(closed.Area().Ready());
        ASSERT_NE(closed.Capture(), nullptr);
        EXPECT_TRUE(closed.Capture()->Running());
        const std::vector<std::wstring> tree = vantrel_test::TreeOf(closed.Area().Path());
        ASSERT_EQ(tree.size(), 1u);
        EXPECT_TRUE(StartsWith(tree[0], L"SystemInfo_"));  // its raw output, in the area's root
    }
    EXPECT_TRUE(vantrel_test::TreeOf(temp_.Path()).empty());

    {
        TPreparedRun old(places_, true, 60000);
        ::Sleep(50);
        EXPECT_EQ(old.TakeCapture(10), nullptr);
        EXPECT_TRUE(vantrel_test::TreeOf(old.Area().Path()).empty());  // ended, its raw output gone
        TPreparedRun recent(places_, true, 60000);
        const TSystemInfoCapture* made_ready = recent.Capture();
        EXPECT_EQ(recent.TakeCapture().get(), made_ready);
        EXPECT_EQ(recent.TakeCapture(), nullptr);  // once
    }

    std::unique_ptr<TPreparedRun> prepared(new TPreparedRun(places_, true, 60000));
    const TSystemInfoCapture* made_ready = prepared->Capture();
    const std::wstring area = prepared->Area().Path();
    TReportStages stages = RecordingStages();
    TReportStages defaults = DefaultReportStages();
    Set(stages, L"system information start", [&](TRunContext& run, TStringList& lines) {
        calls_.push_back(L"start systeminfo");
        work_dir_ = run.WorkDir;
        EXPECT_EQ(run.AreaDir, area);
        EXPECT_EQ(run.SystemInfo.get(), made_ready);
        StageFunction(defaults, L"system information start")(run, lines);
        EXPECT_EQ(run.SystemInfo.get(), made_ready);  // not started again
    });
    Set(stages, L"system information", StageFunction(defaults, L"system information"));
    Set(stages, L"archive", [this](TRunContext& run, TStringList&) {
        ZipFolder(run.WorkDir, run.ArchivePath, run.Collected.Files(), run.Late);
        archive_bytes_ = ReadFileBytes(run.ArchivePath);
    });
    TRunContext run(recorder_.Handle(), target_file_, TRunRights::OfThisProcess());
    RunReportAndNotify(stages, run, std::move(prepared));

    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_DONE));
    EXPECT_EQ(ReadFileBytes(target_file_), archive_bytes_);
    std::vector<std::string> names;
    for (const auto& entry : vantrel_test::InspectZip(archive_bytes_).Entries) names.push_back(entry.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"SystemInfo.txt", "Vantrel_Debug_Info.txt"}));
    EXPECT_TRUE(vantrel_test::TreeOf(temp_.Path()).empty());
}

// An elevated run works in the Windows folder's Temp, whatever TEMP says:
// a TEMP that the user pointed at a folder of someone else's is not touched.
TEST_F(ReportJob, AnElevatedRunLeavesTheUsersTemporaryFolderAlone) {
    const TempFolder& windows_temp = windows_temp_;
    WriteFileBytes(temp_.Path() + L"canary.txt", "canary");
    places_.Elevated = true;
    places_.WindowsTemp = ExcludeTrailingBackslash(windows_temp.Path());
    std::wstring area;
    TReportStages stages = RecordingStages();
    Set(stages, L"system overview", [&](TRunContext&, TStringList&) {
        area = vantrel_test::TreeOf(windows_temp.Path()).at(0);  // made before the first stage
    });
    Run(stages);
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_EQ(area.substr(0, 11), L"GetInfoDir.");
    EXPECT_TRUE(StartsWith(work_dir_, windows_temp.Path() + area));
    EXPECT_EQ(vantrel_test::TreeOf(temp_.Path()), std::vector<std::wstring>{L"canary.txt"});
    EXPECT_TRUE(vantrel_test::TreeOf(windows_temp.Path()).empty());
    // Without a Windows folder an elevated run does not fall back to a
    // folder the user controls: it fails.
    places_.WindowsTemp.clear();
    recorder_.Messages.clear();
    Run(RecordingStages());
    EXPECT_EQ(recorder_.Messages, Steps({}, GENINFO_FAILED));
    EXPECT_EQ(vantrel_test::TreeOf(temp_.Path()), std::vector<std::wstring>{L"canary.txt"});
}

// Links a user planted before the click: at the target's name, in the old
// working folder's place and at the old archive's name. None is followed;
// what they point to stays as it was.
TEST_F(ReportJob, PlantedLinksAreNotFollowed) {
    const TempFolder& outside = outside_;
    WriteFileBytes(outside.Path() + L"canary.txt", "canary");
    WriteFileBytes(outside.Path() + L"folder\\inner.txt", "inner");
    ASSERT_TRUE(vantrel_test::MakeLink(target_file_, outside.Path() + L"canary.txt"));
    ASSERT_TRUE(vantrel_test::MakeLink(temp_.Path() + L"GetInfoDir", outside.Path() + L"folder"));
    ASSERT_TRUE(vantrel_test::MakeLink(temp_.Path() + L"Vantrelt_Debug_Info.zip", outside.Path() + L"canary.txt"));
    // The intermediate copy's name as it was fixed before: now it is random.
    ASSERT_TRUE(vantrel_test::MakeLink(target_file_ + L".part", outside.Path() + L"canary.txt"));

    Run(RecordingStages());

    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_EQ(ReadFileBytes(target_file_), archive_bytes_);  // the link at the target's name was replaced
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"canary.txt"), "canary");
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"folder\\inner.txt"), "inner");
    EXPECT_EQ(vantrel_test::TreeOf(outside.Path()),
              (std::vector<std::wstring>{L"canary.txt", L"folder\\", L"folder\\inner.txt"}));
    vantrel_test::RemoveLink(temp_.Path() + L"Vantrelt_Debug_Info.zip");
    vantrel_test::RemoveLink(target_file_ + L".part");

    // Non-vacuous: writing the old way, by name, lands in the canary.
    WriteFileBytes(temp_.Path() + L"unsafe", "");
    ASSERT_TRUE(vantrel_test::MakeLink(temp_.Path() + L"unsafe.zip", outside.Path() + L"canary.txt"));
    WriteFileBytes(temp_.Path() + L"unsafe.zip", "overwritten");
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"canary.txt"), "overwritten");
    vantrel_test::RemoveLink(temp_.Path() + L"unsafe.zip");
}

// The copy to the target with the run's own rights, as for the tool's own
// folder: a link or a hard link at the target's name is replaced, never
// written through; a target folder that is a link is refused.
TEST_F(ReportJob, TheTargetWithTheRunsOwnRightsReplacesLinksAndRefusesALinkedFolder) {
    const TempFolder& outside = outside_;
    const std::wstring archive = temp_.Path() + L"archive.zip";
    WriteFileBytes(archive, "this run's archive");
    WriteFileBytes(outside.Path() + L"canary.txt", "canary");
    WriteFileBytes(outside.Path() + L"hard.txt", "hard");
    for (bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link at the target" : "link at the target");
        ASSERT_TRUE(vantrel_test::MakeLink(target_file_, outside.Path() + (hard ? L"hard.txt" : L"canary.txt"), hard));
        EXPECT_TRUE(SaveToTargetWithOwnRights(archive, target_file_));
        EXPECT_EQ(ReadFileBytes(target_file_), "this run's archive");
        ExpectOnlyTheTarget();
        ::DeleteFileW(target_file_.c_str());
    }
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"canary.txt"), "canary");
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"hard.txt"), "hard");

    const std::wstring linked_folder = target_.Path() + L"linked desktop";
    ASSERT_TRUE(vantrel_test::MakeLink(linked_folder, outside.Path()));
    EXPECT_FALSE(SaveToTargetWithOwnRights(archive, linked_folder + L"\\Vantrel_Debug_Info.zip"));
    EXPECT_EQ(vantrel_test::TreeOf(outside.Path()), (std::vector<std::wstring>{L"canary.txt", L"hard.txt"}));
    // Non-vacuous: the same through the user's rights (which Wine does not
    // enforce) follows the folder link, as an unchecked write would.
    EXPECT_TRUE(SaveToTarget(archive, linked_folder + L"\\Vantrel_Debug_Info.zip", TUserRights::OfSessionUser()));
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"Vantrel_Debug_Info.zip"), "this run's archive");
    vantrel_test::RemoveLink(linked_folder);
}

// No desktop folder: the target is the tool's own folder, written with the
// run's own rights.
TEST_F(ReportJob, WithoutADesktopTheToolsFolderGetsTheArchive) {
    target_file_ = GetModuleDir() + L"Vantrel_Debug_Info.zip";
    Run(RecordingStages());
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_EQ(ReadFileBytes(target_file_), archive_bytes_);
    ::DeleteFileW(target_file_.c_str());
}

// A link swapped in for an entry of the working folder while the job runs
// (here by the stage before packing) is neither packed nor followed by the
// clean-up.
TEST_F(ReportJob, ALinkSwappedIntoTheWorkingFolderIsNeitherPackedNorFollowed) {
    const TempFolder& outside = outside_;
    WriteFileBytes(outside.Path() + L"secret\\other-account.txt", "not for the archive");
    TReportStages stages = RecordingStages();
    Set(stages, L"product files", [&](TRunContext& run, TStringList&) {
        const std::wstring& work = run.WorkDir;
        WriteFileBytes(work + L"AppData\\core.ini", "copy");
        vantrel_test::RemoveTree(work + L"AppData");
        ASSERT_TRUE(vantrel_test::MakeLink(work + L"AppData", outside.Path() + L"secret"));
    });
    auto names_in = [](const std::wstring& archive) {
        std::vector<std::string> names;
        for (const auto& entry : vantrel_test::InspectZip(ReadFileBytes(archive)).Entries) names.push_back(entry.Name);
        return names;
    };
    std::vector<std::string> packed, followed;
    Set(stages, L"archive", [&](TRunContext& run, TStringList&) {
        const std::wstring& work = run.WorkDir;
        ZipFolder(work, run.ArchivePath);
        packed = names_in(run.ArchivePath);
        // Non-vacuous: a walk that enters the link (here it is told to walk
        // the link's folder too) packs the other account's file, and the
        // check below sees it.
        TZipWriter following;
        following.FilesList = {L"*.*", L"AppData\\*.*"};
        following.SetRootDir(work);
        following.SetRelativePaths(true);
        following.ZipName = target_.Path() + L"followed.zip";
        following.Zip();
        followed = names_in(following.ZipName);
    });

    Run(stages);

    const std::vector<std::string> only_the_report = {"Vantrel_Debug_Info.txt"};
    EXPECT_EQ(packed, only_the_report);
    EXPECT_NE(followed, only_the_report);
    EXPECT_NE(std::find(followed.begin(), followed.end(), "AppData/other-account.txt"), followed.end());
    EXPECT_EQ(ReadFileBytes(outside.Path() + L"secret\\other-account.txt"), "not for the archive");
    // The link itself cannot be removed from Windows code under Wine (every
    // call there acts on what it points to); on Windows it goes with the area.
    for (const std::wstring& left : vantrel_test::TreeOf(temp_.Path())) {
        EXPECT_TRUE(EndsWith(left, L"\\") || EndsWith(left, L"AppData")) << vantrel_test::Printable(left);
    }
}

// The tool's table: the job's order, the seven rows that step the progress
// bar (of a maximum of 10), the two whose failure is contained, and the two
// that read the user's data with the user's rights.
TEST(ReportStages, TheToolsTableStepsSevenTimesAndNamesItsRights) {
    std::vector<std::wstring> names, stepping, contained, as_user;
    for (const TStage& stage : DefaultReportStages()) {
        names.push_back(stage.Name);
        EXPECT_TRUE(static_cast<bool>(stage.Run)) << vantrel_test::Printable(stage.Name);
        if (stage.Steps) stepping.push_back(stage.Name);
        if (stage.OnFailure == TOnFailure::Contained) contained.push_back(stage.Name);
        if (stage.Rights == TRightsUsed::UsersData) as_user.push_back(stage.Name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{
                         L"system information start", L"version line", L"date line", L"system overview", L"processes",
                         L"services", L"autoruns", L"install folder", L"installed files", L"report file",
                         L"Apple libraries", L"product files", L"system information", L"archive path", L"archive"}));
    EXPECT_EQ(stepping, (std::vector<std::wstring>{L"system overview", L"processes", L"services", L"installed files",
                                                   L"product files", L"system information", L"archive"}));
    EXPECT_LE(static_cast<int>(stepping.size()), kGenInfoProgressMax);
    EXPECT_EQ(contained, (std::vector<std::wstring>{L"date line", L"autoruns"}));
    EXPECT_EQ(as_user, (std::vector<std::wstring>{L"installed files", L"product files"}));
    TReportStages stages = DefaultReportStages();
    EXPECT_THROW(StageFunction(stages, L"no such stage"), std::out_of_range);
}

// The updater's registration, read in the 32-bit view the product's installer writes.
class UpdaterPath : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Vantrel\\Vantrel Updater";
    void TearDown() override {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vantrel");
    }
    void SetValue(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key, L"AppPath", 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(key);
    }
    void SetText(const std::wstring& text) {
        SetValue(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1) * DWORD{sizeof(wchar_t)});
    }
    TempFolder folder_{L"updater"};
};

TEST_F(UpdaterPath, NamesAnExistingFileOrNothing) {
    EXPECT_EQ(GetUpdaterPath(), L"");  // not registered

    const std::wstring exe = folder_.Path() + L"VNTUpdater.exe";
    WriteFileBytes(exe, "MZ");
    SetText(exe);
    EXPECT_EQ(GetUpdaterPath(), exe);

    SetText(folder_.Path());  // a folder does not count
    EXPECT_EQ(GetUpdaterPath(), L"");
    SetText(folder_.Path() + L"missing.exe");
    EXPECT_EQ(GetUpdaterPath(), L"");

    DWORD number = 5;  // not text: treated as no updater
    SetValue(REG_DWORD, &number, sizeof number);
    EXPECT_EQ(GetUpdaterPath(), L"");
}

TEST_F(UpdaterPath, TheJobKeepsItsFolderWithTrailingBackslash) {
    const std::wstring exe = folder_.Path() + L"VNTUpdater.exe";
    WriteFileBytes(exe, "MZ");
    SetText(exe);
    const TReportStages none;
    TWorkAreaPlaces places;
    places.UserTemp = folder_.Path();
    TRunArea area(places);
    {
        TRunContext run(nullptr, L"", TRunRights());
        GenInfo(none, run, area);
        EXPECT_EQ(run.UpdaterDir, folder_.Path());
    }

    DWORD number = 5;
    SetValue(REG_DWORD, &number, sizeof number);
    TRunContext run(nullptr, L"", TRunRights());
    GenInfo(none, run, area);
    EXPECT_EQ(run.UpdaterDir, L"");
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// A fixture program started with its output in `out`; the process handle.
ScopedKernelHandle StartFixture(const std::wstring& command_line, const std::wstring& out) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    ScopedFileHandle output(::CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION process = {};
    std::wstring line = command_line;
    if (!output ||
        !::CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        return ScopedKernelHandle();
    }
    ::CloseHandle(process.hThread);
    return ScopedKernelHandle(process.hProcess);
}

// "PROGRAM" "ARGUMENT".
std::wstring CommandLine(const std::wstring& program, const std::wstring& argument) {
    std::wstring line = L"\"";
    line += program;
    line += L"\" \"";
    line += argument;
    line += L"\"";
    return line;
}

std::vector<std::wstring> AreasIn(const std::wstring& folder) {
    std::vector<std::wstring> areas;
    for (const std::wstring& entry : vantrel_test::TreeOf(folder)) {
        if (StartsWith(entry, L"GetInfoDir.")) areas.push_back(entry);
    }
    return areas;
}

// A seeded product for runs in other processes: the uninstall entry in the
// machine's registry, an install folder, and the product's roaming data of
// the prefix's user; all of it goes again with the object.
class TSeededProduct {
public:
    TSeededProduct() {
        WriteFileBytes(install_.Path() + L"Vantrel.log", "seeded log");
        WriteFileBytes(install_.Path() + L"Aerovell\\logs\\x.log", "seeded trace");
        WriteFileBytes(Vnt() + L"core.ini", "seeded settings");
        WriteFileBytes(Vnt() + L"DataBase\\main.db", "seeded database");
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            const std::wstring& location = install_.Path();
            ::RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
                             static_cast<DWORD>(location.size() + 1) * DWORD{sizeof(wchar_t)});
            ::RegCloseKey(key);
        }
    }
    ~TSeededProduct() {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstall);
        vantrel_test::RemoveTree(ReportAppFrame().AppDataDir + L"\\Vantrel");
    }
    TSeededProduct(const TSeededProduct&) = delete;
    TSeededProduct& operator=(const TSeededProduct&) = delete;

    // Every member an archive of the seeded product holds, with the
    // product's own files' bytes.
    static void ExpectWhole(const std::string& archive) {
        std::map<std::string, std::string> members;
        for (const auto& entry : vantrel_test::InspectZip(archive).Entries) members[entry.Name] = entry.Data;
        EXPECT_EQ(members.count("Vantrel_Debug_Info.txt"), 1u);
        EXPECT_EQ(members.count("SystemInfo.txt"), 1u);
        EXPECT_EQ(members["AppPath/Vantrel.log"], "seeded log");
        EXPECT_EQ(members["AppPath/Aerovell/logs/x.log"], "seeded trace");
        EXPECT_EQ(members["AppData/core.ini"], "seeded settings");
        EXPECT_EQ(members["AppData/DataBase/main.db"], "seeded database");
    }

private:
    static std::wstring Vnt() { return ReportAppFrame().AppDataDir + L"\\Vantrel\\VNT\\"; }
    static constexpr const wchar_t* kUninstall =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel_is1";
    TempFolder install_{L"concurrent install"};
};

// Two whole runs of a seeded product started together, and a second apart,
// each with the tool's own stages and a target of its own: both end with
// GENINFO_DONE, each archive holds the whole product, and nothing of either
// run is left. A race is not cleared by one green round, so the pairs are
// run several times.
TEST(ConcurrentRuns, BothEndWithCompleteArchivesAndNothingLeft) {
    CreateReportAppFrame();
    const TSeededProduct product;
    const std::wstring jobrun = vantrel_test::FixtureDir() + L"jobrun\\jobrun.exe";
    TempFolder targets(L"concurrent");
    TempFolder outputs(L"concurrent out");
    const std::wstring windows_temp = GetSharedWindowsDir() + L"\\Temp\\";
    const std::vector<std::wstring> before = AreasIn(windows_temp);
    for (int round = 0; round < 3; ++round) {
        for (DWORD delay : {0u, 1000u}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", second start after " + std::to_string(delay) + " ms");
            const std::wstring target_a = targets.Path() + L"a\\Vantrel_Debug_Info.zip";
            const std::wstring target_b = targets.Path() + L"b\\Vantrel_Debug_Info.zip";
            for (const std::wstring& target : {target_a, target_b}) {
                ::DeleteFileW(target.c_str());
                ForceDirectories(ExtractFilePath(target));
            }
            const std::wstring out_a = outputs.Path() + L"a.txt";
            const std::wstring out_b = outputs.Path() + L"b.txt";
            ScopedKernelHandle a = StartFixture(CommandLine(jobrun, target_a), out_a);
            ::Sleep(delay);
            ScopedKernelHandle b = StartFixture(CommandLine(jobrun, target_b), out_b);
            ASSERT_TRUE(a.Valid() && b.Valid());
            ASSERT_EQ(::WaitForSingleObject(a.Get(), 600000), WAIT_OBJECT_0);
            ASSERT_EQ(::WaitForSingleObject(b.Get(), 600000), WAIT_OBJECT_0);
            for (const std::wstring& out : {out_a, out_b}) {
                const std::string text = ReadFileBytes(out);
                EXPECT_NE(text.find("1:7,2:0\""), std::string::npos) << text;  // GENINFO_DONE after the seventh step
            }
            for (const std::wstring& target : {target_a, target_b}) {
                SCOPED_TRACE(vantrel_test::Printable(target));
                TSeededProduct::ExpectWhole(ReadFileBytes(target));
                EXPECT_EQ(vantrel_test::TreeOf(ExtractFilePath(target)),
                          std::vector<std::wstring>{L"Vantrel_Debug_Info.zip"});
            }
            EXPECT_EQ(AreasIn(windows_temp), before);
        }
    }
}

}  // namespace
}  // namespace vantrel
