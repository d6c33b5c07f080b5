#include "engine/common/system_library.h"

#include <string>

namespace qv {

namespace {

std::wstring SystemFolderPath() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) return {};
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length);
    }
}

// A function of a system library with the reason it could not be had.
template <typename Function>
struct Found {
    Function Address = nullptr;
    DWORD Error = ERROR_SUCCESS;
};

template <typename Function>
Found<Function> FindFunction(const wchar_t* library, const char* name) noexcept {
    Found<Function> found;
    const HMODULE module = SystemLibrary(library);
    if (module)
        found.Address = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (!found.Address) found.Error = GetLastError();
    return found;
}

// `name` in kernel32, which every process has loaded: the functions that
// older systems lack are looked up, so that the programs still start there.
template <typename Function>
Found<Function> KernelFunction(const char* name) noexcept {
    Found<Function> found;
    if (const HMODULE kernel = GetModuleHandleW(L"kernel32.dll"))
        found.Address = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
    if (!found.Address) found.Error = GetLastError();
    return found;
}

// Calls the function found once (on first use); without it, fails as the
// function fails, with `failure` and the reason in GetLastError.
template <typename Function, typename Result, typename... Args>
Result CallFound(const Found<Function>& found, Result failure, Args... args) noexcept {
    if (!found.Address) {
        SetLastError(found.Error);
        return failure;
    }
    return found.Address(args...);
}

}  // namespace

void RestrictLibrarySearch() noexcept {
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryProc = BOOL(WINAPI*)(LPCWSTR);
    if (const auto setDefault = KernelFunction<SetDefaultDllDirectoriesProc>("SetDefaultDllDirectories").Address)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // An empty folder takes the current folder out of the search order.
    if (const auto setDllDirectory = KernelFunction<SetDllDirectoryProc>("SetDllDirectoryW").Address)
        setDllDirectory(L"");
}

void PrepareForWindows() noexcept {
    // The common controls draw through msimg32, which they load for
    // themselves. A loader that resolves such loads of its own libraries by
    // the search path the process started with (Wine's does) would look in
    // the program's folder first; a library of that name already loaded
    // from the system folder is taken instead.
    static const HMODULE msimg32 = SystemLibrary(L"msimg32.dll");
    (void)msimg32;
}

HMODULE SystemLibrary(const wchar_t* name) noexcept {
    const HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // A system without the search flags refuses them: the full path into
    // the system folder instead, from where the library's own imports are
    // searched too.
    try {
        const std::wstring folder = SystemFolderPath();
        if (folder.empty()) return nullptr;
        return LoadLibraryExW((folder + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    } catch (...) {  // no memory for the path
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

HMODULE LibraryAtPath(const std::wstring& path) noexcept {
    const HMODULE module =
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace system_library {

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) noexcept {
    using Proc = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    static const Found<Proc> found = FindFunction<Proc>(L"version.dll", "GetFileVersionInfoSizeW");
    return CallFound(found, DWORD{0}, fileName, handle);
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD size, LPVOID data) noexcept {
    using Proc = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    static const Found<Proc> found = FindFunction<Proc>(L"version.dll", "GetFileVersionInfoW");
    return CallFound(found, BOOL{FALSE}, fileName, handle, size, data);
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) noexcept {
    using Proc = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    static const Found<Proc> found = FindFunction<Proc>(L"version.dll", "VerQueryValueW");
    return CallFound(found, BOOL{FALSE}, block, subBlock, buffer, length);
}

DWORD WNetGetConnectionW(LPCWSTR localName, LPWSTR remoteName, LPDWORD length) noexcept {
    using Proc = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);
    static const Found<Proc> found = FindFunction<Proc>(L"mpr.dll", "WNetGetConnectionW");
    // This function answers with its error rather than through GetLastError.
    if (!found.Address) return found.Error != ERROR_SUCCESS ? found.Error : ERROR_NOT_SUPPORTED;
    return found.Address(localName, remoteName, length);
}

BOOL TransparentBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC source, int xSource, int ySource,
                    int wSource, int hSource, UINT transparent) noexcept {
    using Proc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);
    static const Found<Proc> found = FindFunction<Proc>(L"msimg32.dll", "TransparentBlt");
    return CallFound(found, BOOL{FALSE}, dest, xDest, yDest, wDest, hDest, source, xSource, ySource, wSource,
                     hSource, transparent);
}

BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) noexcept {
    using Proc = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
    static const Found<Proc> found = FindFunction<Proc>(L"comctl32.dll", "SetWindowSubclass");
    return CallFound(found, BOOL{FALSE}, window, procedure, id, data);
}

BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) noexcept {
    using Proc = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
    static const Found<Proc> found = FindFunction<Proc>(L"comctl32.dll", "RemoveWindowSubclass");
    return CallFound(found, BOOL{FALSE}, window, procedure, id);
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    using Proc = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    static const Found<Proc> found = FindFunction<Proc>(L"comctl32.dll", "DefSubclassProc");
    // Only a subclassed window calls it, so comctl32 is there already.
    if (!found.Address) return DefWindowProcW(window, message, wParam, lParam);
    return found.Address(window, message, wParam, lParam);
}

BOOL GetVolumePathNameW(LPCWSTR fileName, LPWSTR volumePath, DWORD length) noexcept {
    using Proc = BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    static const Found<Proc> found = KernelFunction<Proc>("GetVolumePathNameW");
    return CallFound(found, BOOL{FALSE}, fileName, volumePath, length);
}

BOOL IsWow64Process(HANDLE process, PBOOL wow64) noexcept {
    using Proc = BOOL(WINAPI*)(HANDLE, PBOOL);
    static const Found<Proc> found = KernelFunction<Proc>("IsWow64Process");
    return CallFound(found, BOOL{FALSE}, process, wow64);
}

UINT GetSystemWow64DirectoryW(LPWSTR buffer, UINT size) noexcept {
    using Proc = UINT(WINAPI*)(LPWSTR, UINT);
    static const Found<Proc> found = KernelFunction<Proc>("GetSystemWow64DirectoryW");
    return CallFound(found, UINT{0}, buffer, size);
}

BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info,
                                  DWORD size) noexcept {
    using Proc = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    static const Found<Proc> found = KernelFunction<Proc>("GetFileInformationByHandleEx");
    return CallFound(found, BOOL{FALSE}, file, infoClass, info, size);
}

BOOL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info, DWORD size) noexcept {
    using Proc = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    static const Found<Proc> found = KernelFunction<Proc>("SetFileInformationByHandle");
    return CallFound(found, BOOL{FALSE}, file, infoClass, info, size);
}

}  // namespace system_library

}  // namespace qv
