// Platform tests: NT or not, the new shell, administrator rights.
#pragma once

namespace qv {

// The platform is Windows NT.
bool IsWinNT();
// Windows 4 or later (Start Menu folders and shell links instead of
// Program Manager groups). Asked once and remembered.
bool HasWin4Shell();
// True on every platform but NT; on NT, whether the service control
// manager opens for full access, which only administrators may.
bool HasAdminRights();

// Makes HasWin4Shell ask again (when a test changes the Windows version).
void ForgetWin4ShellAnswer();

}  // namespace qv
