#include "collect/apple_libraries_win.h"

#include "log/log_win.h"
#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/system/folders_win.h"

#include <utility>

namespace vantrel {

namespace {

const wchar_t kStage[] = L"Apple libraries";

// Opens the library at `source` as a copy would read it: others may read it
// too (a loaded library is), nobody may write it meanwhile. False when it
// cannot be opened or is no file.
bool OpenLibrary(const std::wstring& source, const std::wstring& name, TCollectedFile& file) {
    file.Handle = OpenFileHandle(source, GENERIC_READ, kShareRead, OPEN_EXISTING, kSequential);
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.Handle || !::GetFileInformationByHandle(file.Handle.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    file.Name = name;
    file.Source = source;
    file.Stage = kStage;
    TakeFileFacts(file, info);
    return true;
}

// The capture itself; an error leaves it at once.
void TakeAppleLibraries(const std::wstring& source_folder, TCollected& collected) {
    if (source_folder.empty() || !DirectoryExists(source_folder)) {
        WriteLog(L"SrcPath not exists");
        return;
    }
    for (std::size_t i = 0; i < kAppleLibraryCount; ++i) {
        const TAppleLibrary& library = kAppleLibraries[i];
        const std::wstring source = source_folder + library.Name;
        if (!FileExists(source)) continue;
        TCollectedFile file;
        const bool taken = OpenLibrary(source, AppleCollectedName(library), file);
        if (taken) collected.Add(std::move(file));
        if (library.LogResult) WriteLog(CopyResultText(taken));
    }
}

}  // namespace

void CollectAppleLibraries(TCollected& collected) {
    // A failure ends the capture; what was collected so far stays.
    ContainFailure(kStage, [&] {
        TakeAppleLibraries(AppleSourceFolder(AppFrame().GetFolder(kFolderKindProgramFilesCommon)), collected);
    });
}

void CollectAppleLibrariesFrom(const std::wstring& source_folder, TCollected& collected) {
    ContainFailure(kStage, [&] { TakeAppleLibraries(source_folder, collected); });
}

}  // namespace vantrel
