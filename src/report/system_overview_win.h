// The system overview section, read live from the system (see
// system_overview.h for the lines).
#pragma once

#include "platform/base/text.h"
#include "report/system_overview.h"

#include <string>

namespace vantrel {

// Appends the section's lines to the report's line list.
void AddSystemOverview(TStringList& lines);

// The section's lines, from the banner to the closing empty line.
TStringList BuildSystemOverview();

// The facts the section prints.
TOverviewFacts GatherOverviewFacts();

// The operating system, identified on first use and kept for the life of
// the process.
TOS QueryOS();

// True when this 32-bit process runs under WOW64, that is on 64-bit Windows.
bool IsRunningUnderWow64();

// True on 64-bit Windows, whichever build of the tool asks: what the
// "OS Type" line tells.
bool IsSixtyFourBitWindows();

// The English name of the system default locale's language in the system
// code page, or empty text.
std::string GetSystemLanguage();

}  // namespace vantrel
