// Helpers shared by the pure tests.
#pragma once

#include <ostream>
#include <string>

namespace vantrel_test {

// A readable form of a wide string for failure messages (UTF-8).
std::string Printable(const std::wstring& text);

}  // namespace vantrel_test
