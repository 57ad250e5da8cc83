// The names of archives saved into a folder many runs share (the command
// line's "/out"), free of system calls: one name per machine and second,
// and a counter where two runs meet in the same second.
#pragma once

#include "platform/base/datetime.h"

#include <string>

namespace vantrel {

// "Vantrel_Debug_Info_" + the computer's name + "_" + the UTC time as
// yyyymmddThhmmssZ, without extension. A character of the computer's name
// that a file name cannot hold (or a blank) becomes "_"; an empty name
// becomes "UNKNOWN".
std::wstring OutArchiveBaseName(const std::wstring& computer_name, const TDateTimeParts& utc);

// The archive's file name for the `attempt`th try (1, 2, ...): `base` +
// ".zip" for the first, `base` + "_" + attempt + ".zip" after that.
std::wstring OutArchiveName(const std::wstring& base, unsigned attempt);

// How many names a run tries before it gives up on a folder.
constexpr unsigned kOutArchiveAttempts = 1000;

}  // namespace vantrel
