// The Apple support library capture: collects the libraries the product
// loads, to be packed under the working folder's "iTunesDll".
#pragma once

#include "collect/apple_libraries.h"
#include "platform/files/collected_file_win.h"

#include <string>

namespace vantrel {

// Collects from the common program files folder's "Apple\Apple Application
// Support" (a folder of the administrators, read with the run's own rights)
// into `collected`. Never throws.
void CollectAppleLibraries(TCollected& collected);

// Opens each library of the list found in `source_folder` and adds it to
// `collected` under "iTunesDll\" and its name, replacing one added before.
// Logs "SrcPath not exists" when the source folder is missing, and whether
// the first library could be taken ("-1" or "0") when it was found. Never
// throws; an error ends the capture, keeping what was collected so far.
void CollectAppleLibrariesFrom(const std::wstring& source_folder, TCollected& collected);

}  // namespace vantrel
