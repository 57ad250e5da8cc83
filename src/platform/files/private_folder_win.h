// A folder of one run that nobody else can predict, occupy in advance or,
// for an elevated run, change: created new under a random name, with a
// protected DACL that grants only the administrators and the local system
// when the folder is for an elevated run, and removed with everything in it
// (DeleteDirTree, which never follows a link) when the object goes away.
#pragma once

#include "platform/base/handles_win.h"
#include "platform/files/links_win.h"

#include <memory>
#include <string>

namespace vantrel {

// The security of a folder only the administrators and the local system may
// use: owner Administrators, a protected DACL (nothing inherited from the
// parent) with full access for those two, inherited by everything created
// inside. The user's own SID, which an unelevated token of the same account
// shares, is not in it.
class TAdministratorsOnlySecurity {
public:
    TAdministratorsOnlySecurity();
    TAdministratorsOnlySecurity(const TAdministratorsOnlySecurity&) = delete;
    TAdministratorsOnlySecurity& operator=(const TAdministratorsOnlySecurity&) = delete;
    // Null when the descriptor could not be built.
    SECURITY_ATTRIBUTES* Attributes();

private:
    ScopedSid administrators_;
    ScopedSid system_;
    std::unique_ptr<unsigned char[]> acl_;
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
    bool ready_ = false;
};

// A new folder `parent` + `prefix` + 32 random hexadecimal digits. Creation
// fails on any existing name, a link included (another name is then tried),
// so the folder is always one this object made.
class TPrivateFolder {
public:
    // Throws EToolError when no folder can be made there. With
    // `administrators_only` the folder gets TAdministratorsOnlySecurity.
    TPrivateFolder(const std::wstring& parent, const std::wstring& prefix, bool administrators_only);
    // Removes the folder with everything in it.
    ~TPrivateFolder();
    TPrivateFolder(const TPrivateFolder&) = delete;
    TPrivateFolder& operator=(const TPrivateFolder&) = delete;

    // The folder's path, with a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // The folder that was made.
    const TFileId& Id() const { return id_; }
    // Removes the folder now; true when it is gone.
    bool Remove();

private:
    std::wstring path_;
    TFileId id_;
    bool removed_ = false;
};

}  // namespace vantrel
