// The tool's runs from the command line: the usage, and the run without a
// window that deployment engines start (command_line.h says what the
// arguments mean). What such a run trusts is written down in
// docs/trust_model.md.
#pragma once

#include "app/command_line.h"
#include "job/report_stages_win.h"
#include "job/work_area.h"
#include "platform/base/datetime.h"
#include "platform/system/impersonation_win.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// The arguments of this process after the program's name, split by the
// system's rules (CommandLineToArgvW).
std::vector<std::wstring> CommandLineArguments();

// For a command line of kind Usage or Invalid: prints the usage (with the
// problem first for a bad one) for the caller and returns the exit code,
// kExitSaved or kExitBadArguments. Nothing runs.
int ShowUsage(const TCommandLine& command);

// Prints a text for the caller; `error` for failure lines.
using TCallerPrintFn = std::function<void(bool error, const std::wstring& text)>;

// What a run without a window works with, gathered when it starts.
struct TQuietRun {
    std::wstring SessionUser;   // the session user's name; empty: nobody is logged on
    std::wstring ComputerName;  // names the archive in an "/out" folder
    TDateTimeParts Utc;         // the start, in UTC; names the archive too
    std::wstring AppDataDir;    // the roaming application data the job reads
    TReportStages Stages;
    TWorkAreaPlaces Places;
    // The archive's path on the desktop for the user whose rights are given.
    std::function<std::wstring(const TUserRights& user)> DesktopTarget;
    TCallerPrintFn Print;
};

// The run of this process for a command line of kind Quiet: the tool's own
// stages and places, this machine's facts, texts to the caller's console.
int RunQuiet(const TCommandLine& command);

// Runs the job without a window for `command` with `setup` and returns the
// exit code. The target is decided first (ChooseQuietTarget), and an "/out"
// folder claimed (TOutFolderTarget), before any stage runs: without a
// target, or with a folder that cannot be written, the run ends at once with
// kExitNoTarget and leaves nothing. The rights are decided once: with
// nobody logged on there are no user's rights to borrow, and the user's
// data is read with the run's own under the strict checks. Every "Error: "
// line the run writes to the log is printed too, and at the end the saved
// archive's path ("Saved: " + path). Never throws.
int RunQuiet(const TCommandLine& command, const TQuietRun& setup);

// The rights of a run without a window for `session_user` (empty: nobody is
// logged on): this process's own, without the user's when there is no user.
TRunRights QuietRunRights(const std::wstring& session_user);

}  // namespace vantrel
