// The private working area of one run: made new under a random name,
// holding the working folder and the archive, removed with everything in it
// when the object goes away. What the run trusts and why is written down in
// docs/trust_model.md.
#pragma once

#include "job/work_area.h"
#include "platform/files/private_folder_win.h"

#include <memory>
#include <string>

namespace vantrel {

class TRunArea {
public:
    // Tries the places WorkAreaCandidates gives, in turn; each place that
    // gives none leaves its line with the reason. Never throws: Ready() is
    // false when no candidate gave an area.
    explicit TRunArea(const TWorkAreaPlaces& places);
    TRunArea(const TRunArea&) = delete;
    TRunArea& operator=(const TRunArea&) = delete;

    bool Ready() const { return folder_ != nullptr; }
    // The area, with a trailing backslash (empty when not Ready).
    std::wstring Path() const;
    // The working folder WorkDir: the area's "GetInfoDir\".
    std::wstring WorkDir() const { return WorkDirIn(Path()); }
    // The archive "Vantrelt_Debug_Info.zip" in the area.
    std::wstring ArchivePath() const { return ArchivePathIn(Path()); }
    // Removes the area now; true when it is gone.
    bool Remove();

private:
    std::unique_ptr<TPrivateFolder> folder_;
};

// The places of this process: elevated or not, the shared Windows folder's
// Temp, the user's temporary folder, the tool's own folder.
TWorkAreaPlaces SystemWorkAreaPlaces();

}  // namespace vantrel
