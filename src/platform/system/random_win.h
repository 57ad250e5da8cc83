// Names nobody can predict: digits from the system's cryptographic random
// source.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

// `bytes` bytes (at least one) from the system's cryptographic random
// source as lower-case hexadecimal digits; throws EToolError when the source
// cannot be had.
std::wstring RandomHex(std::size_t bytes);

}  // namespace vantrel
