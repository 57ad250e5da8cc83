// The service enumeration of the services section, open to tests.
#pragma once

#include "platform/base/win.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// One record of the enumeration.
struct TServiceEntry {
    std::wstring ServiceName;
    std::wstring DisplayName;
    std::uint32_t ServiceType = 0;
    std::uint32_t CurrentState = 0;
    std::uint32_t Win32ExitCode = 0;
};

// One EnumServicesStatusW call with the section's type and state filter:
// buffer (null when `bytes` is 0), its size in bytes, out: bytes needed,
// records returned, resume handle. Returns the call's result; on failure
// the last error tells why.
using TEnumServicesCall =
    std::function<BOOL(ENUM_SERVICE_STATUSW* buffer, DWORD bytes, DWORD* needed, DWORD* count, DWORD* resume)>;

// How often the enumeration is sized again when services appeared between
// the sizing call and the read.
constexpr int kEnumServicesAttempts = 4;

// Asks `call` for the bytes needed, then reads one batch into a buffer of
// that size (needed / record size + 1 records). When the read fails with
// ERROR_MORE_DATA the enumeration is sized again, at most
// kEnumServicesAttempts times in all. False when no read succeeded.
bool EnumerateServices(const TEnumServicesCall& call, std::vector<TServiceEntry>& entries);

// EnumerateServices over the service control manager `manager`.
bool EnumerateServices(SC_HANDLE manager, std::vector<TServiceEntry>& entries);

}  // namespace vantrel
