#include "engine/common/folders.h"

#include <windows.h>
#include <shlobj.h>

#include "core/text/path_strings.h"
#include "engine/common/path_tests.h"
#include "engine/common/registry.h"
#include "engine/common/system_library.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"

namespace qv {

namespace {

// Calls `get(buffer, length)` until the buffer is large enough: a result not
// below the length offered is the size the API needs. 0 means failure.
template <typename Get>
std::wstring ReadApiString(std::size_t initial, Get get) {
    std::wstring buffer(initial, L'\0');
    for (;;) {
        const DWORD n = get(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return buffer.substr(0, n);
        buffer.assign(n, L'\0');
    }
}

bool HasShellFolders() { return GetWindowsVersion().Major() >= 4; }

}  // namespace

std::string ReadEnvVar(const std::string& name) {
    const std::wstring wideName = Widen(name);
    return Narrow(ReadApiString(255, [&](wchar_t* buffer, DWORD length) {
        return GetEnvironmentVariableW(wideName.c_str(), buffer, length);
    }));
}

std::string WindowsFolder() {
    return Narrow(ReadApiString(MAX_PATH, [](wchar_t* buffer, DWORD length) {
        return static_cast<DWORD>(GetWindowsDirectoryW(buffer, length));
    }));
}

std::string SystemFolder() {
    return Narrow(ReadApiString(MAX_PATH, [](wchar_t* buffer, DWORD length) {
        return static_cast<DWORD>(GetSystemDirectoryW(buffer, length));
    }));
}

bool RunsUnderWow64() {
    BOOL wow64 = FALSE;
    return system_library::IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::string SystemWow64Folder() {
    return Narrow(ReadApiString(MAX_PATH, [](wchar_t* buffer, DWORD length) {
        return static_cast<DWORD>(system_library::GetSystemWow64DirectoryW(buffer, length));
    }));
}

std::string OwnSystemFolder() {
    if (RunsUnderWow64()) {
        std::string folder = SystemWow64Folder();
        if (!folder.empty()) return folder;
    }
    return SystemFolder();
}

std::string TempFolder() {
    std::string folder = ReadEnvVar("TMP");
    if (folder.empty() || !FolderExists(folder)) folder = ReadEnvVar("TEMP");
    if (folder.empty() || !FolderExists(folder)) folder = WindowsFolder();
    const std::wstring wide = Widen(folder);
    const std::wstring full = ReadApiString(MAX_PATH, [&](wchar_t* buffer, DWORD length) {
        return GetFullPathNameW(wide.c_str(), length, buffer, nullptr);
    });
    return AppendBackslash(full.empty() ? folder : Narrow(full));
}

std::string ShellFolderPath(int csidl) {
    if (!HasShellFolders()) return {};
    ComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.put()))) allocator.reset();
    // Freed by the shell's allocator, or the task allocator without one.
    UniqueItemList items(nullptr, handle_traits::ShellItemList{allocator.get()});
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, items.put())) || !items) return {};
    wchar_t buffer[MAX_PATH] = {};
    return SHGetPathFromIDListW(items.get(), buffer) ? Narrow(buffer) : std::string();
}

std::string CurrentVersionValue(const std::string& name) {
    if (!HasShellFolders()) return {};
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      key.put()) != ERROR_SUCCESS)
        return {};
    std::string value;
    RegReadString(key.get(), name, value);
    return value;
}

std::string ProgramFilesFromRegistry() { return CurrentVersionValue("ProgramFilesDir"); }
std::string CommonFilesFromRegistry() { return CurrentVersionValue("CommonFilesDir"); }

}  // namespace qv
