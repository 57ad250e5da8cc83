#include "platform/system/random_win.h"

#include "platform/base/errors.h"
#include "platform/base/handles_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/text.h"

namespace vantrel {

namespace {

// RtlGenRandom (exported as SystemFunction036 since Windows XP) needs no
// provider; Windows 2000 has CryptGenRandom, whose provider is found
// through the registry.
bool FillRandom(std::string& random) {
    const auto gen_random = optional_api::SystemFunction036();
    if (gen_random != nullptr && gen_random(&random[0], static_cast<ULONG>(random.size()))) return true;
    ScopedCryptProvider provider;
    return ::CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_FULL,
                                  CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
           ::CryptGenRandom(provider.Get(), static_cast<DWORD>(random.size()), reinterpret_cast<BYTE*>(&random[0]));
}

}  // namespace

std::wstring RandomHex(std::size_t bytes) {
    std::string random(bytes, '\0');
    if (bytes == 0 || !FillRandom(random)) throw EToolError("No random source");
    std::wstring hex;
    for (unsigned char c : random) hex += HexLower(c, 2);
    return hex;
}

}  // namespace vantrel
