// The decision rules of the registry class, free of system calls: the
// registry view chosen for a key path, the paths stored for opened keys,
// the value kinds and the text of a value's data.
#pragma once

#include "platform/base/errors.h"

#include <cstdint>
#include <string>

namespace vantrel {

// The kind of a registry value, from its registry data type.
enum class TValueKind { vkUnknown, vkString, vkExpandString, vkInteger, vkBinary };

// A value's kind and the size of its data in bytes.
struct TValueInfo {
    TValueKind Kind = TValueKind::vkUnknown;
    std::int32_t Size = 0;
};

// Raised when a value is read as text but holds another type.
class ERegistryException : public EToolError {
public:
    explicit ERegistryException(const std::string& message) : EToolError(message) {}
};

constexpr std::uint32_t kKeyAllAccess = 0x000F003F;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
constexpr std::uint32_t kKeyViewBits = kKeyWow64_64Key | kKeyWow64_32Key;
// The accesses a key is opened for reading with, tried in this order:
// KEY_READ, KEY_READ without KEY_NOTIFY, KEY_QUERY_VALUE.
constexpr std::uint32_t kReadAccessAttempts[] = {0x00020019, 0x00020009, 0x0001};
// A text value is read through a buffer of this many bytes; longer data
// reads as empty text.
constexpr std::uint32_t kTextValueBufferBytes = 2048;
// The text of a read that failed by an error inside the reader.
extern const wchar_t kRegistryReadErrorText[];

// REG_SZ (1), REG_EXPAND_SZ (2), REG_BINARY (3) and REG_DWORD (4) as their
// kinds; every other type vkUnknown.
TValueKind ValueKindOfType(std::uint32_t registry_type);

// True when `path` does not begin with a backslash (empty counts as relative).
bool IsRelativeKey(const std::wstring& path);

// The access mask for opening `path` while `key_path` is open (empty when
// none): with `on_wow64` and `auto_view`, a full path naming "Wow6432Node"
// (any letter case) clears the 64-bit view bit, any other sets it; otherwise
// the mask is returned unchanged. The 32-bit view bit is never set.
std::uint32_t ChooseViewMask(std::uint32_t access_mask, const std::wstring& key_path, const std::wstring& path,
                             bool on_wow64, bool auto_view);

// The path a newly opened key is stored under: `key_path` + "\" + `path`
// for a relative open below an open key, else `path` (given without its
// leading backslash).
std::wstring OpenedKeyPath(bool key_open, const std::wstring& key_path, const std::wstring& path, bool relative);

// A text value's data (UTF-16LE bytes) up to its first NUL character.
std::wstring TextOfValueData(const std::string& data);

// "Invalid data type for '<name>'" (UTF-8).
std::string InvalidDataTypeMessage(const std::wstring& value_name);

}  // namespace vantrel
