#include "platform/system/run_globals_win.h"

namespace vantrel {

HWND FormHandle = nullptr;
std::wstring TargetFile;
std::wstring InstallDir;
std::wstring UpdaterDir;

}  // namespace vantrel
