// The system-information capture: runs the system's `systeminfo` command
// hidden, waits for it (at most kSystemInfoWaitBoundMs from its start) and
// saves its output as "SystemInfo.txt" in the working folder. The report job
// starts the command early and collects its output later, so that the
// command runs while other stages work.
#pragma once

#include "platform/base/text.h"
#include "report/system_info.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

// Creates the capture list; start-up calls it before the main window
// exists. It lives until the process ends.
void CreateSystemInfoList();

// Runs the command and returns the capture list: the date and time the
// output was read, an empty line, "===== System =====", then the output's
// lines. When the command cannot run or does not finish within `wait_bound_ms`
// (the command and what it started are then ended), the list holds the three
// header lines only. The raw output file is always removed. Throws EToolError
// when the output cannot be read. Only tests pass a bound of their own.
const TStringList& CaptureSystemInfo(std::uint32_t wait_bound_ms = kSystemInfoWaitBoundMs);

// CaptureSystemInfo with the raw output file at `raw_path`. When something
// already exists there, the command does not run, that thing is neither
// read nor removed, and the list holds the header lines only.
const TStringList& CaptureSystemInfoAt(const std::wstring& raw_path, std::uint32_t wait_bound_ms);

// A capture whose command runs from construction on: the raw output file at
// `raw_path` is created new and the command started with its output going
// there (nothing runs when the file cannot be created). Collect waits for the
// command and all it started, at most `wait_bound_ms` counted from the start,
// and fills the capture list as CaptureSystemInfoAt does. However the object
// goes, collected or not (a failing job unwinding past it), the command and
// what it started are ended first and the raw output file is removed.
class TSystemInfoCapture {
public:
    TSystemInfoCapture(const std::wstring& raw_path, std::uint32_t wait_bound_ms);
    ~TSystemInfoCapture();
    TSystemInfoCapture(const TSystemInfoCapture&) = delete;
    TSystemInfoCapture& operator=(const TSystemInfoCapture&) = delete;

    // True while the command has been started and not yet collected or ended.
    bool Running() const;
    // Once only; the raw output file is gone afterwards (also when reading
    // it throws EToolError).
    const TStringList& Collect();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

// The name of the saved lines in the working folder.
constexpr wchar_t kSystemInfoSavedName[] = L"SystemInfo.txt";

// Starts a capture with its raw output file in `work_dir` (which ends with a
// backslash).
std::unique_ptr<TSystemInfoCapture> StartSystemInfo(const std::wstring& work_dir,
                                                    std::uint32_t wait_bound_ms = kSystemInfoWaitBoundMs);

// Collects `started`, or without one captures now, with the raw output file
// in `work_dir`, and saves the lines as `work_dir` + "SystemInfo.txt"
// (UTF-16LE with BOM, CR LF after every line). `work_dir` ends with a
// backslash.
void SaveSystemInfo(const std::wstring& work_dir, TSystemInfoCapture* started,
                    std::uint32_t wait_bound_ms = kSystemInfoWaitBoundMs);
void SaveSystemInfo(const std::wstring& work_dir, std::uint32_t wait_bound_ms = kSystemInfoWaitBoundMs);

// True when the file cannot be opened for reading and writing with only
// readers sharing it: it is missing, or some handle still writes it or
// denies sharing.
bool IsFileBusy(const std::wstring& path);

}  // namespace vantrel
