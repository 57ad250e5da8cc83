// Text conversions that follow the system's rules: letter case and the
// 8-bit code pages.
#pragma once

#include "platform/base/win.h"

#include <string>

namespace vantrel {

// `text` in upper case as the system's letter case rules give it, the way
// file names are compared.
std::wstring UpperCaseText(const std::wstring& text);

// `bytes` in the code page `page` (CP_ACP, CP_OEMCP or a number) as UTF-16;
// empty when the bytes are empty or the system cannot convert them.
std::wstring CodePageToWide(UINT page, const std::string& bytes);

// `text` in the code page `page`, characters it lacks replaced by the page's
// default character; empty when the text is empty or cannot be converted.
std::string WideToCodePage(UINT page, const std::wstring& text);

}  // namespace vantrel
