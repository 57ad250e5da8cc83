// Rules of the tool's careful file handling, free of system calls: which
// reparse points count as links, the extended-length form of a path, and
// which relative paths stay below the folder they are appended to.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// Reparse tags the rules name.
constexpr std::uint32_t kReparseTagMountPoint = 0xA0000003u;  // junctions and folder mount points
constexpr std::uint32_t kReparseTagSymlink = 0xA000000Cu;

// True when a reparse point with `tag` leads somewhere else: a symbolic
// link, a mount point that is not the root of a volume (a junction), or a
// reparse point whose tag could not be read (0 is no valid tag). Every other
// tag (cloud placeholders, deduplicated or compressed system files) marks
// an ordinary file. `mount_target` is the substitute name of a mount point.
bool IsLinkReparseTag(std::uint32_t tag, const std::wstring& mount_target);

// True for the substitute name of a volume mount point, "\??\Volume{GUID}\"
// and nothing after it: the root of a volume, which only an administrator
// can mount into a folder.
bool IsVolumeRootTarget(const std::wstring& target);

// The extended-length form of a full path, so that names keep trailing dots
// and spaces, device names are plain names and paths may exceed 260
// characters: "C:\x" becomes "\\?\C:\x", "\\server\share\x" becomes
// "\\?\UNC\server\share\x". A path already in that form, and any text that
// is not a full path, is returned unchanged.
std::wstring ExtendedLengthPath(const std::wstring& full_path);

// A full folder path as a folder is opened: without a trailing backslash,
// except the root of a drive ("C:\") or of a share ("\\server\share\"),
// which is only a root with it ("C:" is the drive's current folder).
std::wstring FolderPathToOpen(const std::wstring& full_path);

// The form a person reads: ExtendedLengthPath undone.
std::wstring WithoutExtendedPrefix(const std::wstring& path);

// True when `relative` appended to a folder names something below that
// folder: one or more names separated by single backslashes, none of them
// empty, "." or "..", and no character that could leave the folder or name
// a stream or device path (':', '/', wildcards, quotes, '<', '>', '|' or
// control characters).
bool IsPlainRelativePath(const std::wstring& relative);

}  // namespace vantrel
