// The private message through which the report job reports to the window.
#pragma once

namespace vantrel {

// WM_USER + 0x101; sent with SendMessageW, the code in wParam.
constexpr unsigned WM_GENINFO = 0x501;

enum TGenInfoCode : unsigned {
    GENINFO_START = 0,   // lParam: maximum of the progress bar
    GENINFO_STEP = 1,    // lParam: new position
    GENINFO_DONE = 2,    // the archive was saved at the run's target
    GENINFO_FAILED = 3,  // it was not
};

// The progress maximum the job announces.
constexpr int kGenInfoProgressMax = 10;

}  // namespace vantrel
