// Where a run keeps its working area: the choice of the parent folder, pure
// code. The trust model of the run is in docs/trust_model.md.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// What the choice depends on.
struct TWorkAreaPlaces {
    bool Elevated = false;     // the run holds administrator rights (IsRunElevated)
    std::wstring WindowsTemp;  // the shared Windows folder's "Temp", no trailing backslash
    std::wstring UserTemp;     // the user's temporary folder (GetTempDir)
    std::wstring ProgramDir;   // the folder of the tool itself
};

// One place to try, in order.
struct TWorkAreaCandidate {
    std::wstring Parent;
    bool AdministratorsOnly = false;  // the area gets TAdministratorsOnlySecurity
};

// An elevated run uses the Windows folder's Temp only, with an area that
// only the administrators and the system may use: users may create entries
// there but not rename or delete those of others, while in the user's own
// temporary folder or the tool's folder the user could rename the area away
// and put a link in its place. An unelevated run works with the user's own
// rights anyway: the user's temporary folder, else the tool's folder.
// Places with empty text are left out.
std::vector<TWorkAreaCandidate> WorkAreaCandidates(const TWorkAreaPlaces& places);

// The name of a run's area below its parent: this prefix and 32 random
// hexadecimal digits.
extern const wchar_t kWorkAreaPrefix[];

// The working folder WorkDir in the area `area` (a folder with a trailing
// backslash): its "GetInfoDir\"; empty for an empty area.
std::wstring WorkDirIn(const std::wstring& area);
// The archive "Vantrelt_Debug_Info.zip" in the area; empty for an empty area.
std::wstring ArchivePathIn(const std::wstring& area);

}  // namespace vantrel
