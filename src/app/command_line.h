// The tool's command line, free of system calls: what the arguments ask
// for, the usage text, the exit codes of a run without a window, and where
// such a run saves its archive.
//
// Without arguments the tool opens its window, as it always has. With
// arguments (switches begin with "/" or "-", letter case ignored):
//   /quiet         the same job without a window, message box or Explorer
//   /quiet /out F  ... saving a new archive into the folder F
//   /?             the usage
// Anything else is a bad command line: no run, the usage, exit code 2.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

enum class TCommandKind {
    Window,   // no arguments: the window
    Quiet,    // a run without a window
    Usage,    // the usage was asked for
    Invalid,  // a bad command line
};

struct TCommandLine {
    TCommandKind Kind = TCommandKind::Window;
    // With Quiet: the folder "/out" names, as given; empty without "/out".
    std::wstring OutFolder;
    // With Invalid: what is wrong, one sentence for the caller.
    std::wstring Problem;
};

// Reads the arguments after the program's name. Each switch may be given
// once; "/out" takes the next argument as its folder, which must be a full
// local path ("C:\..."), or a UNC path ("\\server\share..."), with no
// character that a Windows path cannot hold; "/out" needs "/quiet"; "/?"
// stands alone.
TCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// True for a folder "/out" accepts: "X:\" and what follows, or
// "\\server\share" and what follows; no '/', no "<>:\"|?*" beyond the
// drive's colon, no control character.
bool IsOutFolderPath(const std::wstring& folder);

// The exit codes of the tool's runs without a window, which the programs
// that start it read.
enum TExitCode : int {
    kExitSaved = 0,         // the archive was saved (and the usage that was asked for)
    kExitJobFailed = 1,     // the job failed; the log's "Error: " lines say why
    kExitBadArguments = 2,  // a bad command line: nothing ran
    kExitNoTarget = 3,      // no target, or the target folder cannot be written
};

// The usage text for `program` (the executable's file name), lines ending
// with CR LF.
std::wstring UsageText(const std::wstring& program);

// Where a run without a window saves its archive.
enum class TQuietTarget {
    OutFolder,    // a new archive in the "/out" folder
    UserDesktop,  // "Vantrel_Debug_Info.zip" on the logged-on user's desktop
    None,         // nobody is logged on and no "/out" was given: no run
};
// Decides the target from the folder "/out" gave (empty: none) and the
// session user's name (empty: nobody is logged on). There is no guessing:
// without a user and without "/out" there is no target.
TQuietTarget ChooseQuietTarget(const std::wstring& out_folder, const std::wstring& session_user);

}  // namespace vantrel
