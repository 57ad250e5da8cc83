// The operating system's version number.
#pragma once

namespace vantrel {

struct TOsVersion {
    unsigned Major = 0;
    unsigned Minor = 0;
};

// Major and minor version as GetVersionExW reports them; zeros when the call
// fails.
TOsVersion GetOsVersion();

}  // namespace vantrel
