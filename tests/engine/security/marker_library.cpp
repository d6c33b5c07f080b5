// A library that only tells that it was loaded: when a process loads it,
// it writes an empty file named as itself ("version.dll", ...) into the
// folder that QV_MARKER_FOLDER names. Copied beside a program under the
// names of system libraries, it shows which of them the program took from
// its own folder. It imports nothing but kernel32.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QV_MARKER_FOLDER", folder, MAX_PATH);
    wchar_t self[MAX_PATH] = {};
    if (length == 0 || length >= MAX_PATH || !GetModuleFileNameW(instance, self, MAX_PATH)) return TRUE;
    const wchar_t* name = self;
    for (const wchar_t* p = self; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    wchar_t marker[2 * MAX_PATH + 2] = {};
    lstrcpyW(marker, folder);
    lstrcatW(marker, L"\\");
    lstrcatW(marker, name);
    const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
