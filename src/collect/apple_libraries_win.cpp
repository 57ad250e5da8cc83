#include "collect/apple_libraries_win.h"

#include "log/log_win.h"
#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/system/folders_win.h"

namespace vantrel {

namespace {

const wchar_t kStage[] = L"Apple libraries";

// The capture itself; an error leaves it at once.
void CopyAppleLibraries(const std::wstring& source_folder, const std::wstring& destination_folder) {
    if (!destination_folder.empty() && !DirectoryExists(destination_folder)) ForceDirectories(destination_folder);
    if (source_folder.empty() || !DirectoryExists(source_folder)) {
        WriteLog(L"SrcPath not exists");
        return;
    }
    if (destination_folder.empty()) return;
    for (std::size_t i = 0; i < kAppleLibraryCount; ++i) {
        const TAppleLibrary& library = kAppleLibraries[i];
        const std::wstring source = source_folder + library.Name;
        if (!FileExists(source)) continue;
        const std::wstring target = destination_folder + library.Name;
        if (FileExists(target)) DeleteFileByName(target);
        const bool copied = CopyFileByName(source, target, false);
        if (library.LogResult) WriteLog(CopyResultText(copied));
    }
}

}  // namespace

void CaptureAppleLibraries(const std::wstring& work_dir) {
    // A failure ends the capture; the copies made so far stay.
    ContainFailure(kStage, [&] {
        CopyAppleLibraries(AppleSourceFolder(AppFrame().GetFolder(kFolderKindProgramFilesCommon)),
                           AppleDestinationFolder(work_dir));
    });
}

void CaptureAppleLibrariesInto(const std::wstring& source_folder, const std::wstring& destination_folder) {
    ContainFailure(kStage, [&] { CopyAppleLibraries(source_folder, destination_folder); });
}

}  // namespace vantrel
