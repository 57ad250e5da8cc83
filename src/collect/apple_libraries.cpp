#include "collect/apple_libraries.h"

#include "platform/base/text.h"

namespace vantrel {

const TAppleLibrary kAppleLibraries[] = {
    {L"\\ASL.dll", true},    {L"\\CoreFoundation.dll", false}, {L"\\pthreadVC2.dll", false},
    {L"\\zlib1.dll", false}, {L"\\libdispatch.dll", false},    {L"\\CFNetwork.dll", false},
    {L"\\objc.dll", false},  {L"\\libicuin.dll", false},       {L"\\libicuuc.dll", false},
};
const std::size_t kAppleLibraryCount = sizeof kAppleLibraries / sizeof kAppleLibraries[0];

std::wstring AppleSourceFolder(const std::wstring& common_files_dir) {
    if (common_files_dir.empty()) return std::wstring();
    return IncludeTrailingBackslash(common_files_dir) + L"Apple\\Apple Application Support";
}

std::wstring AppleCollectedName(const TAppleLibrary& library) { return std::wstring(L"iTunesDll") + library.Name; }

std::wstring CopyResultText(bool copied) { return copied ? L"-1" : L"0"; }

}  // namespace vantrel
