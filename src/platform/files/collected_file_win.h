// A file collected for the archive and packed from where it is: opened once,
// with the rights and checks of its collection, and read later by the
// packer through that handle, under the name a copy of it would have had
// in the folder being packed.
#pragma once

#include "platform/base/handles_win.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vantrel {

struct TCollectedFile {
    std::wstring Name;        // below the folder being packed: "AppPath\Vantrel.log"
    std::wstring Source;      // the file's full path, for its failure's line
    std::wstring Stage;       // the stage that collected it, for the same line
    ScopedFileHandle Handle;  // open for reading, at its start
    DWORD Attributes = 0;     // as a copy of it would have them
    FILETIME LastWrite = {};
    std::uint64_t Size = 0;  // when it was opened: what grows after is not read
};

using TCollectedFiles = std::vector<TCollectedFile>;

// The collected files of a run, in the order they came, one per name.
class TCollected {
public:
    // Adds `file`; one of the same name (compared ignoring letter case)
    // already there is replaced, as a later copy replaced an earlier one.
    void Add(TCollectedFile file);
    const TCollectedFiles& Files() const { return files_; }
    bool Empty() const { return files_.empty(); }
    // Closes every file and forgets them.
    void Clear();

private:
    TCollectedFiles files_;
    std::map<std::wstring, std::size_t> by_name_;  // upper-case name -> index
};

// Sets the attributes (CopiedAttributes), time and size of `file` from the
// information its handle has just given.
void TakeFileFacts(TCollectedFile& file, const BY_HANDLE_FILE_INFORMATION& info);

// The attributes a copy of a file with `attributes` gets: read-only, hidden,
// system, archive and not-indexed are kept; a file created new has the
// archive attribute.
DWORD CopiedAttributes(DWORD attributes);

}  // namespace vantrel
