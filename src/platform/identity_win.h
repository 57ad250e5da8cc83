// Session and account identity.
#pragma once

#include "platform/win.h"

#include <string>

namespace vantrel {

// The user name of the interactive session, without domain; empty when none.
std::wstring GetSessionUserName();
// The user name, without domain, of the account in the process's token;
// empty on any failure.
std::wstring GetProcessUserName(DWORD process_id);

}  // namespace vantrel
