// The pure rules of choosing and announcing the archive's target.
#pragma once

#include <string>

namespace vantrel {

// Maps the desktop folder of the account the tool runs under onto the
// desktop of the session user: when `session_user` is not empty and differs
// from `owner` (A-Z case ignored), every "\owner\" in `desktop` (matched on
// the forms `upper` gives) becomes "\session_user\", left to right, replaced
// text not searched again. Otherwise `desktop` is returned unchanged.
std::wstring MapDesktopToSessionUser(const std::wstring& desktop, const std::wstring& session_user,
                                     const std::wstring& owner, std::wstring (*upper)(const std::wstring&));

// The completion message for a saved archive, and whether Explorer is to be
// opened on it: a target whose lower-cased (A-Z) path contains "desktop"
// anywhere gets the desktop message and no Explorer window.
struct TCompletionMessage {
    std::wstring Text;
    bool OpenExplorer = false;
};
TCompletionMessage CompletionMessageFor(const std::wstring& target_file);

}  // namespace vantrel
