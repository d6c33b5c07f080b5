// The process's current folder, through which the folder controls resolve
// every path. A failed change raises the I/O error with the Windows code.
#pragma once

#include <string>

namespace qv {

std::string GetCurrentFolder();
// Raises EInOutError(GetLastError()) when the folder cannot be entered.
void ChangeCurrentFolder(const std::string& path);
// False instead of raising.
bool TryChangeCurrentFolder(const std::string& path);

// Case conversion of file names as the system does it (not only ASCII).
std::string LowerCaseFileName(const std::string& s);
std::string UpperCaseFileName(const std::string& s);
// File-name comparison ignoring case.
bool SameFileName(const std::string& a, const std::string& b);

}  // namespace qv
