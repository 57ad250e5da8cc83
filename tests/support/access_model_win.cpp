#include "support/access_model_win.h"

#include "platform/base/text.h"
#include "platform/base/text_win.h"
#include "platform/files/nt_files_win.h"
#include "platform/files/safe_paths.h"
#include "support/test_support_win.h"

namespace vantrel_test {

using vantrel::TAccessKind;
using vantrel::TAccessRequest;
using vantrel::TFileLocation;

const char* PlaceName(TPlace place) {
    switch (place) {
        case TPlace::Unclassified: return "unclassified";
        case TPlace::Area: return "the run's area";
        case TPlace::UserProfile: return "this user's profile";
        case TPlace::OtherProfile: return "another account's profile";
        case TPlace::ProgramFolder: return "the program folder";
        case TPlace::SystemFolders: return "the system folders";
        case TPlace::WindowsTemp: return "the Windows folder's Temp";
    }
    return "?";
}

const char* WhoName(TWho who) {
    switch (who) {
        case TWho::System: return "the system";
        case TWho::Administrator: return "an administrator";
        case TWho::User: return "the user";
    }
    return "?";
}

bool DefaultRightsGrant(TWho who, TPlace place, bool write) {
    switch (place) {
        case TPlace::Unclassified: return true;
        case TPlace::Area: return who != TWho::User;
        case TPlace::UserProfile: return true;
        case TPlace::OtherProfile: return who != TWho::User;
        case TPlace::ProgramFolder: return who != TWho::User || !write;
        case TPlace::SystemFolders: return who == TWho::System || !write;
        case TPlace::WindowsTemp: return who != TWho::User;
    }
    return false;
}

namespace {

const DWORD kWriteAccess = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                           FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
// What Windows grants through the right to list the parent folder.
const DWORD kAttributeAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE | READ_CONTROL;

// The location of what `path` names now, following links unless `follow` is
// false; false when nothing is there. Plain Windows calls: the model must
// not ask itself.
bool LocationOfPath(const std::wstring& path, bool follow, TFileLocation& location,
                    std::pair<DWORD, unsigned long long>* id = nullptr) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    vantrel::ScopedFileHandle handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                   OPEN_EXISTING, flags, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info) ||
        !vantrel::LocationOf(handle.Get(), info, location)) {
        return false;
    }
    if (id != nullptr) {
        *id = {info.dwVolumeSerialNumber,
               (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    }
    return true;
}

// The full path of an open folder (the system's own answer, which Wine
// gives as Windows Vista and later do).
std::wstring PathOfFolder(HANDLE folder) {
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const auto final_path = reinterpret_cast<FinalPathFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (final_path == nullptr) return std::wstring();
    wchar_t buffer[4096] = {};
    const DWORD length = final_path(folder, buffer, 4095, 0);
    if (length == 0 || length >= 4095) return std::wstring();
    return std::wstring(buffer, length);
}

bool Below(const TFileLocation& object, const TFileLocation& folder) {
    if (object.Volume != folder.Volume) return false;
    const std::wstring o = vantrel::UpperCaseText(object.Path);
    std::wstring f = vantrel::UpperCaseText(folder.Path);
    if (!f.empty() && f.back() != L'\\') f += L'\\';
    return vantrel::StartsWith(o + L"\\", f);
}

bool IsAreaName(const std::wstring& name) { return vantrel::StartsWith(vantrel::UpperCaseText(name), L"GETINFODIR."); }

}  // namespace

TAccessModel::TAccessModel(TWho own, TWho as_user) : own_(own), as_user_(as_user) {}

TAccessModel::~TAccessModel() {
    if (installed_) vantrel::SetAccessPolicy(nullptr);
}

void TAccessModel::Install() {
    vantrel::SetAccessPolicy(this);
    installed_ = true;
}

void TAccessModel::Place(const std::wstring& folder, TPlace place) {
    TFileLocation location;
    if (LocationOfPath(vantrel::ExcludeTrailingBackslash(folder), true, location))
        places_.emplace_back(location, place);
}

void TAccessModel::Learn(const std::wstring& folder, TPlace place) {
    for (const std::wstring& entry : TreeOf(folder)) {
        if (entry.empty() || entry.back() == L'\\') continue;
        TFileLocation location;
        std::pair<DWORD, unsigned long long> id;
        if (LocationOfPath(folder + entry, true, location, &id)) objects_[id] = place;
    }
}

std::vector<TDenial> TAccessModel::Denials() const {
    std::lock_guard<std::mutex> hold(lock_);
    return denials_;
}

TWho TAccessModel::InForce() const {
    HANDLE token = nullptr;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return own_;
    ::CloseHandle(token);
    return as_user_;
}

TPlace TAccessModel::PlaceOf(const TFileLocation& location) const {
    TPlace place = TPlace::Unclassified;
    std::size_t longest = 0;
    const TFileLocation* windows_temp = nullptr;
    for (const auto& entry : places_) {
        if (Below(location, entry.first) && entry.first.Path.size() >= longest) {
            longest = entry.first.Path.size();
            place = entry.second;
            windows_temp = entry.second == TPlace::WindowsTemp ? &entry.first : nullptr;
        }
    }
    if (windows_temp != nullptr) {
        // The first name below the Windows folder's Temp: a run's area?
        std::wstring rest = location.Path.substr(std::min(location.Path.size(), windows_temp->Path.size()));
        while (!rest.empty() && rest[0] == L'\\') rest.erase(0, 1);
        const std::wstring first = rest.substr(0, rest.find(L'\\'));
        if (IsAreaName(first)) place = TPlace::Area;
    }
    return place;
}

bool TAccessModel::Decide(const TAccessRequest& request, const std::wstring& named, TWho who, TPlace& place) const {
    const bool creates = request.Kind == TAccessKind::Create || request.Kind == TAccessKind::CreateFolder;
    const bool attributes_only = request.Kind == TAccessKind::Attributes ||
                                 (request.Kind == TAccessKind::Open && (request.Access & ~kAttributeAccess) == 0);
    std::wstring object = named;
    if (request.Kind == TAccessKind::List) object = vantrel::ExcludeTrailingBackslash(vantrel::ExtractFilePath(named));
    TFileLocation location;
    std::pair<DWORD, unsigned long long> id{0, 0};
    if (creates || attributes_only) {
        // Judged by the folder it is made in, or, for attributes, listed in.
        const std::wstring parent = vantrel::ExcludeTrailingBackslash(vantrel::ExtractFilePath(object));
        if (!LocationOfPath(parent, true, location)) return true;  // the system answers "not found" itself
        place = PlaceOf(location);
        if (place == TPlace::WindowsTemp && who == TWho::User) return creates;
        return DefaultRightsGrant(who, place, creates);
    }
    if (!LocationOfPath(object, request.FollowsLink, location, &id)) return true;  // nothing there to refuse
    const auto learned = objects_.find(id);
    place = learned != objects_.end() ? learned->second : PlaceOf(location);
    const bool write = request.Kind == TAccessKind::Delete || (request.Access & kWriteAccess) != 0;
    if (place == TPlace::WindowsTemp && who == TWho::User) {
        // The folder itself may be opened to create in it.
        TFileLocation temp;
        bool is_temp = false;
        for (const auto& entry : places_) {
            if (entry.second == TPlace::WindowsTemp && entry.first.Volume == location.Volume &&
                vantrel::UpperCaseText(entry.first.Path) == vantrel::UpperCaseText(location.Path)) {
                is_temp = true;
            }
        }
        return is_temp && request.Kind == TAccessKind::Open &&
               (request.Access & ~(FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE | kAttributeAccess)) == 0;
    }
    return DefaultRightsGrant(who, place, write);
}

bool TAccessModel::Permits(const TAccessRequest& request) {
    const std::wstring named = vantrel::WithoutExtendedPrefix(
        request.Folder != nullptr ? vantrel::IncludeTrailingBackslash(PathOfFolder(request.Folder)) + request.Path
                                  : request.Path);
    const TWho who = InForce();
    TPlace place = TPlace::Unclassified;
    if (Decide(request, named, who, place)) return true;
    std::lock_guard<std::mutex> hold(lock_);
    denials_.push_back(TDenial{who, place, request.Kind, named});
    return false;
}

}  // namespace vantrel_test
