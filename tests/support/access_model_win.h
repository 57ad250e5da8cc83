// A model of the access checks Windows makes with its default rights, which
// Wine does not make. Installed as the tool's access policy
// (platform/base/file_open_win.h), it decides every file operation by name
// from the rights in force (the thread's impersonation as the code set it,
// else the run's own account) and the place of the object the operation
// reaches (links and hard links resolved), refuses what Windows would refuse
// with ERROR_ACCESS_DENIED, and records each refusal. docs/trust_model.md
// holds its table of default rights and what it does not cover.
#pragma once

#include "platform/base/file_open_win.h"
#include "platform/files/links_win.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vantrel_test {

// Where an object lies, as far as default rights go.
enum class TPlace {
    Unclassified,   // outside every place the model was told of: not judged
    Area,           // the run's private area: administrators and the system only
    UserProfile,    // the profile of the user who is logged on
    OtherProfile,   // another account's profile
    ProgramFolder,  // a folder below the program files: administrators write, everyone reads
    SystemFolders,  // the Windows folder and its system folders: everyone reads
    WindowsTemp,    // the Windows folder's Temp: everyone may create in it, not list or read others'
};

// Whose rights are in force.
enum class TWho {
    System,         // the local system
    Administrator,  // an administrator's full token
    User,           // the logged-on user's own: a standard user's, or an administrator's filtered token
};

const char* PlaceName(TPlace place);
const char* WhoName(TWho who);

// Windows' default rights of `who` in `place`: reading (opening for reading,
// listing, reading attributes) or writing (creating, writing, deleting).
// The Windows folder's Temp is not in this table: there everyone may create
// files and folders, and only administrators and the system list it or open
// what others made.
bool DefaultRightsGrant(TWho who, TPlace place, bool write);

// One refused operation.
struct TDenial {
    TWho Who;
    TPlace Where;
    vantrel::TAccessKind Kind;
    std::wstring Path;  // the object as named
};

class TAccessModel : public vantrel::TAccessPolicy {
public:
    // The run's own account is `own`; while the code impersonates (a thread
    // token is set) the rights are `as_user`'s.
    TAccessModel(TWho own, TWho as_user);
    // Uninstalls the model when it is installed.
    ~TAccessModel() override;
    TAccessModel(const TAccessModel&) = delete;
    TAccessModel& operator=(const TAccessModel&) = delete;

    // From now on, every operation by name asks this model.
    void Install();
    // Everything below `folder` lies in `place` (the longest such folder
    // wins). A folder "GetInfoDir." and digits directly in the Windows
    // folder's Temp is a run's area.
    void Place(const std::wstring& folder, TPlace place);
    // Every file below `folder` now belongs to `place` wherever it is named:
    // a hard link to it is it.
    void Learn(const std::wstring& folder, TPlace place);
    // Refused operations, in order.
    std::vector<TDenial> Denials() const;

    bool Permits(const vantrel::TAccessRequest& request) override;

private:
    TWho InForce() const;
    TPlace PlaceOf(const vantrel::TFileLocation& location) const;
    bool Decide(const vantrel::TAccessRequest& request, const std::wstring& named, TWho who, TPlace& place) const;

    TWho own_;
    TWho as_user_;
    bool installed_ = false;
    std::vector<std::pair<vantrel::TFileLocation, TPlace>> places_;
    std::map<std::pair<DWORD, unsigned long long>, TPlace> objects_;  // (volume, file index) -> place
    mutable std::mutex lock_;
    std::vector<TDenial> denials_;
};

}  // namespace vantrel_test
