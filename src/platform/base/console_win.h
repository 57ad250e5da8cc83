// Text for whoever started the program. The tool is a GUI program and has
// no console of its own; a caller that redirected its standard output or
// error (a file, a pipe) reads the text there, and a caller in a console
// ("start /wait" in a command prompt) sees it in that console.
#pragma once

#include <string>

namespace vantrel {

enum class TCallerStream { Output, Error };

// Writes `text` (lines ending with CR LF) to the caller: to the standard
// handle of `stream` when it leads to a file or a pipe (in the OEM code
// page, as console programs write there), else to the console of the
// parent process when one can be attached (AttachConsole, Windows XP and
// later), else nowhere. Never throws.
void WriteToCaller(TCallerStream stream, const std::wstring& text) noexcept;

}  // namespace vantrel
