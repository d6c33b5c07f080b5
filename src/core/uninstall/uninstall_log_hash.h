// The uninstall log's fingerprint in the application's uninstall key. The
// log lies in the application's folder, where its users may write; the key
// lies below HKEY_LOCAL_MACHINE, where only administrators may. Setup.exe
// writes the log's SHA-256 there once the log is saved, and the uninstaller
// refuses a log that differs from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Where the system keeps its list of installed programs, below
// HKEY_LOCAL_MACHINE.
inline constexpr char kUninstallListKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The REG_SZ value of the uninstall key: 64 hexadecimal digits.
inline constexpr char kUninstallLogHashValue[] = "QVUninstallLogSHA256";

// The SHA-256 of the log's bytes, as the value holds it.
std::string UninstallLogHash(const std::vector<std::uint8_t>& logBytes);

// `recorded` (as read from the key, in any letter case, blanks around it
// ignored) names the same digest as `computed`.
bool SameUninstallLogHash(const std::string& recorded, const std::string& computed);

}  // namespace qv
