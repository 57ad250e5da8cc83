// The line of 81 asterisks that opens several sections of the text report.
#pragma once

namespace vantrel {

constexpr wchar_t kSectionBanner[] =
    L"*********************************************************************************";

}  // namespace vantrel
