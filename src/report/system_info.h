// Pure rules of the system-information capture: the raw output file's name,
// the command line it is started with, how its bytes are decoded and split, and
// the lines of "SystemInfo.txt".
#pragma once

#include "platform/base/datetime.h"
#include "platform/base/text.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// How long the capture waits for the command, counted from its start.
constexpr std::uint32_t kSystemInfoWaitBoundMs = 120000;

// The third line of "SystemInfo.txt".
extern const wchar_t kSystemInfoTitle[];

// "SystemInfo_" + the 17 digits of `now` + ".txt".
std::wstring SystemInfoRawName(const TDateTimeParts& now);

// The command line the command is started with: its program path in
// double quotes, nothing else. The program's output goes to a handle, so no
// other path appears on a command line.
std::wstring SystemInfoCommandLine(const std::wstring& program);

// Decodes the command's output by its byte-order mark: FF FE UTF-16LE,
// FE FF UTF-16BE, EF BB BF UTF-8; bytes without a mark go to `decode_plain`
// (the console's code page). The mark is not part of the text; a zero
// character ends it.
std::wstring DecodeCommandOutput(const std::string& bytes,
                                 const std::function<std::wstring(const std::string&)>& decode_plain);

// Splits at each CR LF, lone CR and lone LF; a final line break gives no
// empty last line, and an empty text gives no line.
TStringList SplitOutputLines(const std::wstring& text);

// The lines of "SystemInfo.txt": `read_at` (the report's date text), an
// empty line, the title, then `output`.
TStringList SystemInfoLines(const std::wstring& read_at, const TStringList& output);

}  // namespace vantrel
