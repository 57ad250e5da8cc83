#include "job/run_context_win.h"

#include <utility>

namespace vantrel {

TRunContext::TRunContext(HWND window, std::wstring target, TRunRights rights)
    : Window(window),
      Target(std::move(target)),
      rights_(std::move(rights)),
      own_(rights_.Elevated ? TUserRights() : TUserRights::OwnAreTheUsers()) {}

}  // namespace vantrel
