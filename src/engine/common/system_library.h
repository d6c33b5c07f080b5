// Where the programs take their libraries from.
//
// A program started from a Downloads folder shares that folder with
// whatever else was downloaded there, and Windows looks for a library in the
// program's own folder before the system folder, unless the library is one
// of the system's known DLLs. So the programs import statically only known
// DLLs (kernel32, user32, gdi32, advapi32, shell32, ole32, oleaut32,
// comdlg32, shlwapi, msvcrt), restrict the search before anything else runs,
// and load every other library here, from the system folder alone, on first
// use. The build enforces it: those libraries are not on the link line, so a
// direct call does not link.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace qv {

// The first call of each program's entry: later loads, also those that
// system libraries make for themselves, search the system folder only
// (where the system can be told so), and never the current folder. Needs
// nothing but kernel32 and loads nothing.
void RestrictLibrarySearch() noexcept;

// Before the first window or message box: loads from the system folder
// what the common controls load for themselves (msimg32). Once per process.
void PrepareForWindows() noexcept;

// `name` (such as L"version.dll") from the system folder, loaded once and
// kept for the life of the process; null with the system's error in
// GetLastError when it cannot be loaded.
HMODULE SystemLibrary(const wchar_t* name) noexcept;

// A library that the setup data names by its full path (self-registration):
// that file, its own imports searched in its folder and then in the system
// folder, never in the program's folder. The caller frees it.
HMODULE LibraryAtPath(const std::wstring& path) noexcept;

// The few functions of such libraries that the engine calls. Each behaves
// as the system's function; when its library or the function cannot be
// had, it fails as that function fails, with the reason in GetLastError.
namespace system_library {

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) noexcept;
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD size, LPVOID data) noexcept;
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) noexcept;
DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) noexcept;
BOOL TransparentBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC source, int xSource, int ySource,
                    int wSource, int hSource, UINT transparent) noexcept;
// comctl32: the version that the program's manifest asks for, as the
// system redirects the name before any search.
BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) noexcept;
BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) noexcept;
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// kernel32 of Windows 2000 and later: found at run time, so that the
// programs still start on the older systems.
BOOL GetVolumePathNameW(LPCWSTR fileName, LPWSTR volumePath, DWORD length) noexcept;
// kernel32 of Windows XP and later (IsWow64Process from XP SP2).
BOOL IsWow64Process(HANDLE process, PBOOL wow64) noexcept;
UINT GetSystemWow64DirectoryW(LPWSTR buffer, UINT size) noexcept;
// kernel32 of Windows Vista and later.
BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info,
                                  DWORD size) noexcept;
BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size) noexcept;

}  // namespace system_library

}  // namespace qv
