// The Apple support library capture: copies the libraries the product loads
// into the working folder's "iTunesDll".
#pragma once

#include "collect/apple_libraries.h"

#include <string>

namespace vantrel {

// Copies from the common program files folder's "Apple\Apple Application
// Support" (a folder of the administrators) into `work_dir` + "iTunesDll";
// `work_dir`, the run's working folder, ends with a backslash. Never throws.
void CaptureAppleLibraries(const std::wstring& work_dir);

// Copies each library of the list found in `source_folder` into
// `destination_folder` (created when missing), replacing older copies. Logs
// "SrcPath not exists" when the source folder is missing, and the copy
// result of the first library ("-1" or "0") when it was found. Never throws;
// an error ends the capture, leaving the copies made so far.
void CaptureAppleLibrariesInto(const std::wstring& source_folder, const std::wstring& destination_folder);

}  // namespace vantrel
