// Pure rules of the system-information capture: the raw output file's name,
// the command line that fills it, how its bytes are decoded and split, and
// the lines of "SystemInfo.txt".
#pragma once

#include "platform/datetime.h"
#include "platform/text.h"

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

// The command interpreter's parameters: run the command without the
// interpreter's AutoRun entries and redirect its output into `raw_path`,
// enclosed in double quotes.
std::wstring SystemInfoParameters(const std::wstring& raw_path);

// True when the interpreter reads `path` literally between double quotes:
// it holds no '"', and no '%' or '!', which the interpreter expands even
// inside quotes.
bool IsLiteralInQuotes(const std::wstring& path);

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
