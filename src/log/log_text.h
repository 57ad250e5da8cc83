// The pure rules of the tool's own log: its file names, when it is rotated
// and the bytes of one line.
#pragma once

#include "platform/base/datetime.h"

#include <cstdint>
#include <string>

namespace vantrel {

// The log file is rotated once it has reached this many bytes (10 MiB).
constexpr std::int32_t kLogMaxSize = 0x00A00000;

// The byte-order mark that opens every log file (UTF-16LE).
extern const char kLogByteOrderMark[2];

// Candidate `n` for the log file. With an empty `log_name` the log lives
// beside the executable: n = 0 gives `module_path` with ".log" in place of
// its extension. Candidates n >= 1, tried while the earlier ones are held,
// put "_" + n + ".log" in place of the extension of `log_name`, or of
// `module_path` when `log_name` is empty.
std::wstring LogCandidateName(const std::wstring& log_name, const std::wstring& module_path, unsigned n);

// Backup `k` of the log file `file_name`: file_name + ".bak" + k.
std::wstring LogBackupName(const std::wstring& file_name, unsigned k);

// True when a log of `current_size` bytes must be rotated before the next
// line is written.
bool LogNeedsRotation(std::int64_t current_size, std::int64_t max_size);

// The time stamp that opens a line: "yyyy-mm-dd hh:nn:ss.zzz" with the
// locale's time separator, then two blanks.
std::wstring LogStamp(const TDateTimeParts& when, const TLocaleFormats& locale);

// The UTF-16LE bytes of one line: `stamp` (empty for none), `text`, CR LF.
std::string LogLineBytes(const std::wstring& stamp, const std::wstring& text);

}  // namespace vantrel
