// The process-wide values of a run, shared between the window, the job and
// the stages. FormHandle and TargetFile are written by the window before the
// worker starts; InstallDir and UpdaterDir are written and read on the
// worker thread only. Every value starts empty and lives until the process
// ends.
#pragma once

#include "platform/base/win.h"

#include <string>

namespace vantrel {

// The window that receives the job's WM_GENINFO messages.
extern HWND FormHandle;
// Full path at which the archive is to be saved for the user.
extern std::wstring TargetFile;
// The product's install folder, with a trailing backslash.
extern std::wstring InstallDir;
// The folder of the product's updater with a trailing backslash, or empty.
extern std::wstring UpdaterDir;

}  // namespace vantrel
