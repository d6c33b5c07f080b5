// The application's entry in the system's list of installed programs:
// a key below HKEY_LOCAL_MACHINE whose command line starts the uninstaller
// of the engine's machine type in the Windows folder (UNISTB32.EXE or
// UNISTB64.EXE) on this installation's log.
#pragma once

#include <string>

#include "engine/install/install_context.h"

namespace qv {

// Where the system looks for the entries.
extern const char kUninstallParentKey[];  // "Software\Microsoft\Windows\CurrentVersion\Uninstall"

// "<AppNameVersion>_qv<n>": several installations of one version sit side
// by side as n = 1, 2, ...
std::string UninstallKeyName(const TInstallContext& context, int n);

// "\"<win>\UNISTB32.EXE\" /U \"<placeholder>\" \"<log>\"".
std::string UninstallCommandLine(const TInstallContext& context);

// Writes the key after the last one present, or, with
// optReplaceUninstallEntries, deletes the present ones and writes n = 1;
// records it as ekRegKeyTree. False, with no message, below Windows 4, when
// the parent key cannot be opened or when the key cannot be created in it
// (a user without administrator rights). A value that cannot be written
// raises "写注册表出错: %s" with the full path.
bool WriteUninstallKey(TInstallContext& context);

// Once the uninstall log is saved: the SHA-256 of the bytes written
// (UninstallLogHash) as the value kUninstallLogHashValue of the uninstall
// key (nothing when there is no key). The key's undo entry takes the value
// along in a rollback. Raises "写注册表出错: %s" when the value cannot be
// written.
void WriteUninstallLogHash(const TInstallContext& context);

}  // namespace qv
