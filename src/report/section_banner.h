// The line that opens the overview, the process, services and installed-
// files sections of the text report.
#pragma once

#include <string>

namespace vantrel {

// 81 asterisks.
std::wstring SectionBanner();

}  // namespace vantrel
