// The readers of the autoruns section: registry launch points opened with
// KEY_READ and no registry-view flag (a 32-bit process on 64-bit Windows
// sees the redirected machine-wide keys), the Startup folders, and shortcut
// files resolved through the shell-link object.
#pragma once

#include "platform/base/text.h"
#include "platform/base/win.h"
#include "report/autoruns.h"

#include <string>

namespace vantrel {

// One line per value of root\key, "name=text", in registry order; nothing
// when the key cannot be opened.
void AddNamedValues(HKEY root, const std::wstring& key, TStringList& lines);

// The rundll32 lines of every value of every subkey of root\key.
void AddRunOnceEx(HKEY root, const std::wstring& key, TStringList& lines);

// The items of the delimited value root\key\value that are not blank.
void AddDelimitedValue(HKEY root, const std::wstring& key, const std::wstring& value, TStringList& lines);

// As AddDelimitedValue, but a first item that names `default_program`
// (bare, or in the system or Windows folder of `context`) is left out.
void AddLogonProgramValue(HKEY root, const std::wstring& key, const std::wstring& value,
                          const std::wstring& default_program, const TAutorunsContext& context, TStringList& lines);

// The files below a Startup folder: shortcuts as their resolved line, other
// files with their full path, "desktop.ini" and "Thumbs.db" left out.
// Nothing for an empty folder text.
void AddStartupFolder(const std::wstring& folder, TStringList& lines);

// The target of a shortcut file in double quotes, one space, its arguments.
// Raises EToolError when the shell-link object cannot be made.
std::wstring ResolveShellLink(const std::wstring& link_file);

// The folders and WOW64 state of the running process: the report's folder
// object's Startup, Windows and system folders, the all-users Startup folder.
TAutorunsContext CurrentAutorunsContext();

// The autoruns section of this machine, read with the folders and WOW64 state
// of the running process. Errors (a registry value that is not text, a
// shortcut object that cannot be made) pass to the caller.
TStringList BuildAutoruns();

// The section for the given folders and WOW64 state.
TStringList BuildAutoruns(const TAutorunsContext& context);

}  // namespace vantrel
