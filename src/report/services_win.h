// The services section gathered: the service enumeration (open to tests),
// each service's configuration and image version, and the section itself.
#pragma once

#include "platform/base/text.h"
#include "platform/base/win.h"
#include "report/services.h"

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

// Appends the section to `lines`: the banner and one line per service, in
// the order the service control manager returns them. Nothing at all when
// the manager cannot be opened or enumerated. Never throws.
void AddServices(TStringList& lines);

// The start type and image path of the named service. The path is emptied
// first; false, with the start type untouched, when the configuration
// cannot be read.
bool GetServiceConfig(const std::wstring& service_name, std::int32_t& start_type, std::wstring& image_path);

// "Ver:" and the file version of the image named by `image_path` when a file
// is found for it (file-system redirection off for the check), else empty.
std::wstring GetImageVersionText(const std::wstring& image_path);

}  // namespace vantrel
