// The state of one run, handed to every stage: where it works, which
// product folders it found, whose rights it runs with, and what one stage
// leaves for a later one. Built once when the run starts.
#pragma once

#include "platform/base/win.h"
#include "platform/files/collected_file_win.h"
#include "platform/system/impersonation_win.h"
#include "report/system_info_win.h"
#include "zip/zip_writer.h"

#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class TRunContext {
public:
    // A run that reports to `window` (null: nobody is told) and saves its
    // archive at `target`, with `rights` decided for it.
    TRunContext(HWND window, std::wstring target, TRunRights rights);
    TRunContext(const TRunContext&) = delete;
    TRunContext& operator=(const TRunContext&) = delete;

    HWND Window = nullptr;     // hears of the run through WM_GENINFO
    std::wstring Target;       // full path at which the archive is saved for the user
    std::wstring AreaDir;      // the run's private area, with a trailing backslash
    std::wstring WorkDir;      // the working folder in the area, with a trailing backslash
    std::wstring ArchivePath;  // the archive in the area; empty until packing is near
    std::wstring InstallDir;   // the product's install folder, with a trailing backslash
    std::wstring UpdaterDir;   // the product's updater folder with a trailing backslash, or empty
    std::wstring AppDataDir;   // the user's roaming application data, no trailing backslash
    // The system-information command, from its start until its output is collected.
    std::unique_ptr<TSystemInfoCapture> SystemInfo;
    // The product files and support libraries, open from their collection
    // until they are packed.
    TCollected Collected;
    // Files of the working folder made only when packing reaches their
    // place in the archive (the system information's lines), until packed.
    std::vector<TLateFile> Late;

    // The rights of the run, decided when it started.
    const TRunRights& Rights() const { return rights_; }
    // The rights the stage now running reads the user's data with: the
    // user's in a stage whose row says so (ReadAsUser), the run's own in
    // every other stage.
    const TUserRights& ReadRights() const { return reading_as_user_ ? rights_.User : own_; }
    // The rights the stage now running reads the run's own account's data
    // with (its application data): ReadRights when the run's account is the
    // user's, else the run's own, since that data is not the user's.
    const TUserRights& ReadRightsOfRunAccountData() const { return rights_.SameAccount ? ReadRights() : own_; }
    // Set by the job from each stage's row.
    void ReadAsUser(bool as_user) { reading_as_user_ = as_user; }

private:
    TRunRights rights_;
    TUserRights own_;  // the run's own: the user's too when the run is not elevated
    bool reading_as_user_ = false;
};

}  // namespace vantrel
