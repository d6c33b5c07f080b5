// Letting the user pick a folder: the shell's folder browser on Windows 4
// and later, the setup's own dialog (TSelDirForm) below 4.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// True when the user chose a folder; `path` then holds it. Below Windows 4
// `path` is also the starting folder; `owner` owns the shell's browser.
bool SelectFolder(std::string& path, HWND owner);

}  // namespace qv
