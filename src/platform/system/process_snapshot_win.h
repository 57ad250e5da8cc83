// The running processes as one system snapshot shows them.
#pragma once

#include "platform/base/win.h"

#include <tlhelp32.h>

#include <vector>

namespace vantrel {

// The snapshot's process entries (CreateToolhelp32Snapshot) in its order;
// none when no snapshot can be taken (a snapshot always holds the calling
// process).
std::vector<PROCESSENTRY32W> SnapshotProcesses();

}  // namespace vantrel
