#include "job/geninfo_protocol.h"
#include "job/report_job_win.h"
#include "platform/base/text.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::TempFolder;

std::vector<std::pair<WPARAM, LPARAM>> g_messages;

LRESULT CALLBACK RecordGenInfo(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_GENINFO) {
        g_messages.emplace_back(w, l);
        return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

// A message-only window that records the job's WM_GENINFO messages.
class RecordingWindow {
public:
    RecordingWindow() {
        class_name_ = L"VantrelGenInfoRecorder" + vantrel_test::UniqueSuffix();
        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = RecordGenInfo;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = class_name_.c_str();
        ::RegisterClassW(&window_class);
        window_ = ::CreateWindowExW(0, class_name_.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    window_class.hInstance, nullptr);
        g_messages.clear();
    }
    ~RecordingWindow() {
        ::DestroyWindow(window_);
        ::UnregisterClassW(class_name_.c_str(), ::GetModuleHandleW(nullptr));
    }
    bool Valid() const { return window_ != nullptr; }
    HWND Handle() const { return window_; }

private:
    std::wstring class_name_;
    HWND window_ = nullptr;
};

// Points the temporary folder of this process at a private folder.
class PrivateTemp {
public:
    explicit PrivateTemp(const std::wstring& folder) {
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            wchar_t buffer[1024] = {};
            DWORD n = ::GetEnvironmentVariableW(name, buffer, 1024);
            saved_.emplace_back(name, n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring());
            ::SetEnvironmentVariableW(name, folder.c_str());
        }
    }
    ~PrivateTemp() {
        for (const auto& entry : saved_) {
            ::SetEnvironmentVariableW(entry.first.c_str(), entry.second.empty() ? nullptr : entry.second.c_str());
        }
    }

private:
    std::vector<std::pair<std::wstring, std::wstring>> saved_;
};

std::vector<std::wstring> FileLines(const std::string& bytes) {
    std::wstring text = DecodeUtf16Le(bytes.substr(2));
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

TEST(InventoryJob, ReportHoldsHeaderOverviewAndProcessesInOrderWithTheirSteps) {
    TempFolder temp(L"job");
    TempFolder keep(L"jobout");
    PrivateTemp private_temp(temp.Path());
    RecordingWindow window;
    ASSERT_TRUE(window.Valid());

    TReportStages defaults = DefaultReportStages();
    TReportStages stages = JobOwnStages();
    for (const wchar_t* name : {L"system overview", L"processes"}) {
        StageFunction(stages, name) = StageFunction(defaults, name);
    }
    std::string report;
    StageFunction(stages, L"archive") = [&](TRunContext& run, TStringList&) {
        report = vantrel_test::ReadFileBytes(run.WorkDir + L"Vantrel_Debug_Info.txt");
        vantrel_test::WriteFileBytes(run.ArchivePath, "stand-in archive");
    };
    TWorkAreaPlaces places;
    places.UserTemp = temp.Path();
    TRunArea area(places);
    TRunContext run(window.Handle(), L"", TRunRights());
    std::wstring archive = GenInfo(stages, run, area);
    ASSERT_FALSE(archive.empty());
    EXPECT_TRUE(area.Remove());

    ASSERT_GE(g_messages.size(), 3u);
    EXPECT_EQ(g_messages[0], std::make_pair(WPARAM{GENINFO_START}, LPARAM{kGenInfoProgressMax}));
    EXPECT_EQ(g_messages[1], std::make_pair(WPARAM{GENINFO_STEP}, LPARAM{1}));
    EXPECT_EQ(g_messages[2], std::make_pair(WPARAM{GENINFO_STEP}, LPARAM{2}));

    ASSERT_EQ(report.substr(0, 2), std::string("\xFF\xFE"));
    std::vector<std::wstring> lines = FileLines(report);
    const std::wstring banner(81, L'*');
    ASSERT_GE(lines.size(), 30u);
    EXPECT_TRUE(StartsWith(lines[0], L"Version:")) << Printable(lines[0]);
    EXPECT_TRUE(StartsWith(lines[1], L"Date:")) << Printable(lines[1]);
    EXPECT_EQ(lines[2], banner);
    EXPECT_TRUE(StartsWith(lines[3], L"OS Name:\t")) << Printable(lines[3]);
    EXPECT_TRUE(StartsWith(lines[20], L"User Level:\t")) << Printable(lines[20]);
    EXPECT_EQ(lines[21], L"");
    EXPECT_EQ(lines[22], banner);
    // the process lines, then the summary lines and the empty line that
    // ends the one entry holding them
    std::size_t memory = 23;
    while (memory < lines.size() && !StartsWith(lines[memory], L"Virtual memory:")) ++memory;
    ASSERT_LT(memory + 3, lines.size());
    EXPECT_GT(memory, 24u);
    EXPECT_EQ(lines[memory - 1], L"");
    EXPECT_TRUE(StartsWith(lines[memory + 1], L"GlobalAtomInfo:"));
    EXPECT_TRUE(StartsWith(lines[memory + 2], L"DesktopHeap:"));
    EXPECT_EQ(lines[memory + 3], L"");
    bool explorer = false;
    for (std::size_t i = 23; i + 1 < memory; ++i) explorer |= lines[i].find(L" explorer.exe ") != std::wstring::npos;
    EXPECT_TRUE(explorer);
}

}  // namespace
}  // namespace vantrel
