#include "platform/system/process_snapshot_win.h"

#include "platform/base/handles_win.h"

namespace vantrel {

std::vector<PROCESSENTRY32W> SnapshotProcesses() {
    std::vector<PROCESSENTRY32W> processes;
    ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        processes.push_back(entry);
    }
    return processes;
}

}  // namespace vantrel
