// The decision rules of the session and account lookups, free of system
// calls: how a process is recognised by its file name and owner, which
// session counts as the active one, and how the session user name is
// chosen. The Windows side supplies the snapshot and the lookups.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// Upper-cases a text for comparisons that ignore letter case.
using TUpperFn = std::wstring (*)(const std::wstring&);

// One process of a process snapshot.
struct TSnapshotProcess {
    std::uint32_t ProcessId = 0;
    std::wstring ExeFile;  // as the snapshot gives it; may hold a path
};

// The shell process of a logged-on user.
extern const wchar_t kExplorerExe[];

// True for a Windows 2000 version number (5.0).
bool IsWindows2000Version(unsigned major_version, unsigned minor_version);

// The part of a snapshot's file name after its last backslash (the whole
// text when it holds none).
std::wstring ProcessFileName(const std::wstring& exe_file);

// True when two names are equal, letter case ignored through `upper`.
bool SameNameNoCase(const std::wstring& a, const std::wstring& b, TUpperFn upper);

// The first process, in snapshot order, whose file name is `file_name` and,
// when `user_name` is not empty, whose owner (asked through `owner_of` only
// for processes of that name) is `user_name`; 0 when none.
std::uint32_t FirstProcessNamed(const std::vector<TSnapshotProcess>& snapshot, const std::wstring& file_name,
                                const std::wstring& user_name,
                                const std::function<std::wstring(std::uint32_t)>& owner_of, TUpperFn upper);

// The session of the first "explorer.exe" whose session is known
// (`session_of` true) and active (`is_active`); 0 when none.
std::uint32_t FirstActiveExplorerSession(const std::vector<TSnapshotProcess>& snapshot,
                                         const std::function<bool(std::uint32_t, std::uint32_t&)>& session_of,
                                         const std::function<bool(std::uint32_t)>& is_active, TUpperFn upper);

// True when the console-session query named a session: neither 0 nor
// 0xFFFFFFFF (no console session).
bool IsConsoleSessionAnswer(std::uint32_t session_id);

// The session's user name as a result: "system" (any letter case) counts as
// no user and gives empty text.
std::wstring SessionUserOrNone(const std::wstring& name);

// How GetSessionUserName combines its sources: the session interface
// (skipped on Windows 2000; `query_session_user` returns false on failure),
// then the owner of the first "explorer.exe" (`explorer_owner`).
std::wstring ChooseSessionUserName(bool is_windows_2000, const std::function<bool(std::wstring&)>& query_session_user,
                                   const std::function<std::wstring()>& explorer_owner);

}  // namespace vantrel
