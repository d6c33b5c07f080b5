// The system's folders and environment. Every reader answers a missing
// value with an empty string.
#pragma once

#include <string>

namespace qv {

// The value of an environment variable; empty when it is not set.
std::string ReadEnvVar(const std::string& name);

// The Windows and system folders, without a trailing backslash.
std::string WindowsFolder();
std::string SystemFolder();
// True when this is a 32-bit program on 64-bit Windows (WOW64).
bool RunsUnderWow64();
// The 32-bit system folder of 64-bit Windows (SysWOW64); empty elsewhere.
std::string SystemWow64Folder();
// The system folder of this program's own machine type, spelled as every
// process sees it: under WOW64 the system redirects a 32-bit program's
// "System32" to SysWOW64 while the program runs, but a path that leaves
// the program (a rename carried out at the next start by a 64-bit process,
// a shared-file count, the uninstall log, a link) must name SysWOW64.
std::string OwnSystemFolder();
// The user's temporary folder: TMP, else TEMP, when it names an existing
// folder, else the Windows folder; absolute, with a trailing backslash.
std::string TempFolder();

// The file-system path of a shell special folder (a CSIDL value); empty
// below Windows 4 and when the shell has no such folder.
std::string ShellFolderPath(int csidl);

// A string value of HKLM\Software\Microsoft\Windows\CurrentVersion; empty
// below Windows 4 or when it is missing.
std::string CurrentVersionValue(const std::string& name);
std::string ProgramFilesFromRegistry();
std::string CommonFilesFromRegistry();

}  // namespace qv
