#include "report/installed_files.h"

namespace vantrel {

std::wstring FormatInventoryLine(const std::wstring& relative_path, const std::wstring& version,
                                 const std::wstring& digest, const TDateTimeParts& written,
                                 const TLocaleFormats& locale) {
    return relative_path + L"   Ver:" + version + L"   MD5:" + digest + L"   DT:" +
           FormatReportDateTime(written, locale);
}

bool IsInResourcesFolder(const std::wstring& path, const std::wstring& folder) {
    return path.find(folder + L"iTunes.Resources\\") != std::wstring::npos;
}

std::wstring RelativeToFolder(const std::wstring& path, const std::wstring& folder) {
    return StartsWith(path, folder) ? path.substr(folder.size()) : path;
}

std::wstring InstallDirFrom(const std::wstring& install_location, const std::wstring& module_path) {
    std::wstring dir = install_location.empty() ? ExtractFilePath(module_path) : install_location;
    return IncludeTrailingBackslash(dir);
}

}  // namespace vantrel
