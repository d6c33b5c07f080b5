// The folders behind the directory constants, fixed once at start-up.
#pragma once

#include <string>

namespace qv {

// CSIDL values of the shell folders (the same numbers on every Windows).
namespace csidl {
constexpr int Programs = 0x02;
constexpr int Startup = 0x07;
constexpr int StartMenu = 0x0B;
constexpr int DesktopDirectory = 0x10;
constexpr int CommonStartMenu = 0x16;
constexpr int CommonPrograms = 0x17;
constexpr int CommonStartup = 0x18;
constexpr int CommonDesktopDirectory = 0x19;
}  // namespace csidl

// The common folder for administrators, else (or when it is empty) the
// user's own.
std::string CommonOrUserFolder(int commonCsidl, int userCsidl);

// `sys` when `win` is a prefix of it (case-sensitive) or a file can be
// created in it, else `win`: files for the system folder then go to the
// Windows folder.
std::string WritableSystemFolder(const std::string& win, const std::string& sys);

// Sets WinFolder, SysFolder, SystemDrive, ProgFilesFolder,
// CommonFilesFolder and ShellFolderPaths.
void FixFolders();

// Creates the private temporary folder in the user's temporary folder and
// sets PrivateTempFolder; with administrator rights (UserIsAdmin, on NT)
// only SYSTEM, the administrators and the running user may open it.
// Raises an exception naming the folder on failure.
void CreatePrivateTempFolder();

}  // namespace qv
