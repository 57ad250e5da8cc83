#include "job/report_job_win.h"

#include "job/geninfo_protocol.h"
#include "platform/errors.h"
#include "platform/file_io_win.h"
#include "platform/text.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace vantrel {
namespace {

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

// Runs each test with a private temporary folder (TMP/TEMP) and target, so
// the job's working folder and archive live in a place of the test's own.
class ReportJob : public ::testing::Test {
protected:
    void SetUp() override {
        saved_tmp_ = Environment(L"TMP");
        saved_temp_ = Environment(L"TEMP");
        ::SetEnvironmentVariableW(L"TMP", temp_.Path().c_str());
        ::SetEnvironmentVariableW(L"TEMP", temp_.Path().c_str());
        FormHandle = recorder_.Handle();
        TargetFile = target_.Path() + L"Vantrel_Debug_Info.zip";
    }
    void TearDown() override {
        FormHandle = nullptr;
        ::SetEnvironmentVariableW(L"TMP", saved_tmp_.c_str());
        ::SetEnvironmentVariableW(L"TEMP", saved_temp_.c_str());
    }
    static std::wstring Environment(const wchar_t* name) {
        wchar_t buffer[MAX_PATH + 1] = {};
        ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
        return buffer;
    }

    std::wstring WorkDir() const { return temp_.Path() + L"GetInfoDir\\"; }
    std::wstring Archive() const { return temp_.Path() + L"Vantrelt_Debug_Info.zip"; }

    // Stages that each leave a trace, and a packer that writes a stand-in
    // archive holding the text report.
    TReportStages RecordingStages() {
        TReportStages stages;
        stages.AddSystemOverview = [this](TStringList& lines) { Trace(L"overview", lines); };
        stages.AddProcesses = [this](TStringList& lines) { Trace(L"processes", lines); };
        stages.AddServices = [this](TStringList& lines) { Trace(L"services", lines); };
        stages.BuildAutoruns = [this]() {
            calls_.push_back(L"autoruns");
            return TStringList{L"autoruns line"};
        };
        stages.LoadInstallDir = [this]() { calls_.push_back(L"installdir"); };
        stages.AddInstalledFiles = [this](TStringList& lines, const std::wstring&, bool banner) {
            EXPECT_TRUE(banner);
            Trace(L"installed", lines);
        };
        stages.CaptureAppleLibraries = [this]() { calls_.push_back(L"apple"); };
        stages.SaveSystemInfo = [this](const std::wstring& work) {
            EXPECT_EQ(work, WorkDir());
            calls_.push_back(L"systeminfo");
        };
        stages.CollectProductFiles = [this](const std::wstring&) { calls_.push_back(L"products"); };
        stages.ZipFolder = [this](const std::wstring& work, const std::wstring& archive) {
            calls_.push_back(L"zip");
            EXPECT_EQ(archive, Archive());
            WriteFileBytes(archive, ReadFileBytes(work + L"Vantrel_Debug_Info.txt"));
            return 1;
        };
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

    TempFolder temp_{L"job"};
    TempFolder target_{L"target"};
    RecordingWindow recorder_;
    std::vector<std::wstring> calls_;
    std::wstring saved_tmp_;
    std::wstring saved_temp_;
};

TEST_F(ReportJob, AllStagesInOrderThenSevenStepsAndDone) {
    RunReportAndNotify(RecordingStages());

    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_DONE));
    const std::vector<std::wstring> order = {L"overview", L"processes",  L"services", L"autoruns", L"installdir",
                                             L"installed", L"apple",     L"systeminfo", L"products", L"zip"};
    EXPECT_EQ(calls_, order);
    EXPECT_FALSE(DirectoryExists(WorkDir()));

    // The target is a byte copy of the archive, which stays in the temporary folder.
    std::string report = ReadFileBytes(TargetFile);
    EXPECT_EQ(report, ReadFileBytes(Archive()));
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report.substr(0, 2), std::string("\xFF\xFE", 2));
    std::wstring text = DecodeUtf16Le(report.substr(2));
    EXPECT_EQ(text.substr(0, 9), L"Version:U");  // the test program has no version resource
    // exactly two header lines, then the sections; every line ends with CR LF
    std::size_t date = text.find(L"\r\nDate:");
    ASSERT_NE(date, std::wstring::npos);
    EXPECT_EQ(text.find(L"\r\n"), date);
    std::size_t date_end = text.find(L"\r\n", date + 2);
    EXPECT_EQ(text.substr(date_end), L"\r\noverview line\r\nprocesses line\r\nservices line\r\nautoruns line\r\n"
                                     L"installed line\r\n");
}

TEST_F(ReportJob, AFailingStageEndsTheRunAndCleansUp) {
    // An archive of an earlier run must not reach the target.
    WriteFileBytes(Archive(), "old archive");
    TReportStages stages = RecordingStages();
    stages.AddProcesses = [this](TStringList&) {
        calls_.push_back(L"processes");
        throw EToolError("process query failed");
    };

    RunReportAndNotify(stages);

    EXPECT_EQ(recorder_.Messages, Steps({1}, GENINFO_FAILED));
    EXPECT_EQ(calls_, (std::vector<std::wstring>{L"overview", L"processes"}));
    EXPECT_FALSE(DirectoryExists(WorkDir()));
    EXPECT_FALSE(FileExists(TargetFile));
}

TEST_F(ReportJob, FailedPackingLeavesNoTarget) {
    TReportStages stages = RecordingStages();
    stages.ZipFolder = [](const std::wstring&, const std::wstring&) -> int { throw EToolError("error"); };

    EXPECT_EQ(GenInfo(stages), Archive());  // the path was known before packing failed
    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6}, GENINFO_START));
    EXPECT_FALSE(DirectoryExists(WorkDir()));
}

TEST_F(ReportJob, AFailingAutorunsSectionIsSkippedAlone) {
    TReportStages stages = RecordingStages();
    stages.BuildAutoruns = []() -> TStringList { throw EToolError("Invalid data type for 'x'"); };

    RunReportAndNotify(stages);

    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_DONE));
    std::wstring text = DecodeUtf16Le(ReadFileBytes(TargetFile).substr(2));
    EXPECT_EQ(text.find(L"autoruns line"), std::wstring::npos);
    EXPECT_NE(text.find(L"services line\r\ninstalled line"), std::wstring::npos);
}

TEST_F(ReportJob, AnOldWorkingFolderIsEmptiedBeforeTheFirstStage) {
    WriteFileBytes(WorkDir() + L"stale.txt", "x");
    WriteFileBytes(WorkDir() + L"sub\\deeper\\stale.bin", "y");
    TReportStages stages = RecordingStages();
    stages.AddSystemOverview = [this](TStringList&) {
        EXPECT_TRUE(DirectoryExists(WorkDir()));
        EXPECT_FALSE(FileExists(WorkDir() + L"stale.txt"));
        EXPECT_FALSE(DirectoryExists(WorkDir() + L"sub"));
    };
    RunReportAndNotify(stages);
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
}

TEST_F(ReportJob, NoArchiveMeansFailedAndAnOldTargetStays) {
    WriteFileBytes(TargetFile, "kept");
    TReportStages stages = RecordingStages();
    stages.ZipFolder = nullptr;  // nothing packs

    RunReportAndNotify(stages);

    EXPECT_EQ(recorder_.Messages, Steps({1, 2, 3, 4, 5, 6, 7}, GENINFO_FAILED));
    EXPECT_EQ(ReadFileBytes(TargetFile), "kept");
}

TEST_F(ReportJob, AnOldTargetIsReplacedOnlyByACompleteCopy) {
    WriteFileBytes(TargetFile, "old");
    RunReportAndNotify(RecordingStages());
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_EQ(ReadFileBytes(TargetFile), ReadFileBytes(Archive()));
    EXPECT_FALSE(FileExists(TargetFile + L".part"));

    // A target that cannot be replaced (held open by another program) keeps
    // its content, and no partial copy stays.
    recorder_.Messages.clear();
    WriteFileBytes(TargetFile, "kept");
    HANDLE held = ::CreateFileW(TargetFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RunReportAndNotify(RecordingStages());
    ::CloseHandle(held);
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_FAILED, 0));
    EXPECT_EQ(ReadFileBytes(TargetFile), "kept");
    EXPECT_FALSE(FileExists(TargetFile + L".part"));

    // The worker is back to its own rights afterwards.
    HANDLE token = nullptr;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
}

TEST_F(ReportJob, UnwritableTemporaryFolderFallsBackToTheProgramFolder) {
    // A temporary folder that cannot hold "GetInfoDir": a file of that name is in the way.
    WriteFileBytes(temp_.Path() + L"GetInfoDir", "blocks the folder");
    const std::wstring fallback = GetModuleDir() + L"GetInfoDir\\";
    vantrel_test::RemoveTree(fallback);
    ::CreateDirectoryW(fallback.c_str(), nullptr);
    WriteFileBytes(fallback + L"kept-before-run.txt", "the fallback is neither emptied nor created");

    std::wstring seen;
    TReportStages stages = RecordingStages();
    stages.SaveSystemInfo = [&seen](const std::wstring& work) { seen = work; };
    stages.AddSystemOverview = [&fallback](TStringList&) {
        EXPECT_TRUE(FileExists(fallback + L"kept-before-run.txt"));
    };
    RunReportAndNotify(stages);

    EXPECT_EQ(seen, fallback);
    EXPECT_EQ(recorder_.Messages.back(), TMessage(GENINFO_DONE, 0));
    EXPECT_FALSE(DirectoryExists(fallback));  // the clean-up removes it like any working folder
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
        SetValue(REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
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
    TReportStages none;
    FormHandle = nullptr;
    GenInfo(none);
    EXPECT_EQ(UpdaterDir, folder_.Path());

    DWORD number = 5;
    SetValue(REG_DWORD, &number, sizeof number);
    GenInfo(none);
    EXPECT_EQ(UpdaterDir, L"");
}

}  // namespace
}  // namespace vantrel
