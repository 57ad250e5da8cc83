#include "app/command_line.h"

#include "platform/base/text.h"

namespace vantrel {

namespace {

enum class TSwitch { None, Quiet, Out, Usage };

// The switch `argument` names, letter case ignored; None when it is none.
TSwitch SwitchOf(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return TSwitch::None;
    const std::wstring name = LowerAscii(argument.substr(1));
    if (name == L"quiet") return TSwitch::Quiet;
    if (name == L"out") return TSwitch::Out;
    if (name == L"?") return TSwitch::Usage;
    return TSwitch::None;
}

TCommandLine Invalid(const std::wstring& problem) {
    TCommandLine command;
    command.Kind = TCommandKind::Invalid;
    command.Problem = problem;
    return command;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// True when no character of `text` is one a Windows path cannot hold
// outside a drive's colon.
bool HasOnlyPathCharacters(const std::wstring& text) {
    for (wchar_t c : text) {
        if (CodeUnit(c) < 0x20 || std::wstring(L"<>:\"/|?*").find(c) != std::wstring::npos) return false;
    }
    return true;
}

}  // namespace

bool IsOutFolderPath(const std::wstring& folder) {
    if (folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\') {
        return HasOnlyPathCharacters(folder.substr(2));
    }
    if (folder.size() < 5 || folder[0] != L'\\' || folder[1] != L'\\') return false;
    // "\\server\share": both names present, and the server no device
    // namespace ("\\.\", "\\?\") and no dots alone.
    const std::size_t share = folder.find(L'\\', 2);
    if (share == std::wstring::npos || share == 2 || share + 1 >= folder.size() || folder[share + 1] == L'\\') {
        return false;
    }
    const std::wstring server = folder.substr(2, share - 2);
    return server.find_first_not_of(L'.') != std::wstring::npos && HasOnlyPathCharacters(folder.substr(2));
}

TCommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    TCommandLine command;
    if (arguments.empty()) return command;
    bool quiet = false;
    bool out = false;
    bool usage = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        switch (SwitchOf(argument)) {
            case TSwitch::Quiet:
                if (quiet) return Invalid(L"\"" + argument + L"\" is given twice.");
                quiet = true;
                break;
            case TSwitch::Out:
                if (out) return Invalid(L"\"" + argument + L"\" is given twice.");
                if (i + 1 >= arguments.size()) return Invalid(L"\"" + argument + L"\" needs a folder.");
                out = true;
                command.OutFolder = arguments[++i];
                if (!IsOutFolderPath(command.OutFolder)) {
                    return Invalid(L"\"" + command.OutFolder +
                                   L"\" is no full local or UNC folder path (C:\\... or \\\\server\\share...).");
                }
                break;
            case TSwitch::Usage:
                if (arguments.size() != 1) return Invalid(L"\"" + argument + L"\" stands alone.");
                usage = true;
                break;
            case TSwitch::None: return Invalid(L"\"" + argument + L"\" is no argument of this program.");
        }
    }
    if (usage) {
        command.Kind = TCommandKind::Usage;
    } else if (!quiet) {
        return Invalid(L"\"/out\" needs \"/quiet\".");
    } else {
        command.Kind = TCommandKind::Quiet;
    }
    return command;
}

std::wstring UsageText(const std::wstring& program) {
    return program +
           L" [/quiet [/out FOLDER]] | /?\r\n"
           L"\r\n"
           L"Without arguments the window opens; its button saves the report to the desktop.\r\n"
           L"\r\n"
           L"  /quiet       Saves the report with no window, no message and no Explorer,\r\n"
           L"               as Vantrel_Debug_Info.zip on the logged-on user's desktop.\r\n"
           L"  /out FOLDER  With /quiet: saves it into FOLDER, a full local or UNC path\r\n"
           L"               (C:\\... or \\\\server\\share\\...), as the new file\r\n"
           L"               Vantrel_Debug_Info_<COMPUTERNAME>_<yyyymmddThhmmssZ>.zip (UTC).\r\n"
           L"               No file is replaced: when the name is taken, _2, _3, ...\r\n"
           L"               comes before .zip. Quote a FOLDER with blanks, and do not end\r\n"
           L"               it with a backslash inside quotes.\r\n"
           L"  /?           Shows this text.\r\n"
           L"\r\n"
           L"Switches begin with / or -; letter case is ignored.\r\n"
           L"\r\n"
           L"Exit codes:\r\n"
           L"  0  the archive was saved (its path is printed)\r\n"
           L"  1  the report failed; the \"Error: \" lines of the log beside the program say why\r\n"
           L"  2  bad arguments: nothing ran\r\n"
           L"  3  the target folder cannot be written, or there is no target\r\n"
           L"     (nobody is logged on and no /out was given)\r\n";
}

TQuietTarget ChooseQuietTarget(const std::wstring& out_folder, const std::wstring& session_user) {
    if (!out_folder.empty()) return TQuietTarget::OutFolder;
    return session_user.empty() ? TQuietTarget::None : TQuietTarget::UserDesktop;
}

}  // namespace vantrel
