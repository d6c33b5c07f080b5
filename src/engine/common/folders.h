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
