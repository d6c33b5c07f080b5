// DllUnregisterServer of a self-registering library, as undo calls it:
// appends this library's path to the file that QV_UNREGISTER_LOG names,
// then returns the status in QV_UNREGISTER_STATUS (hexadecimal), S_OK
// when that is not set; "crash" there makes it write where no memory is.
#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace {
HMODULE self = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    wchar_t log[MAX_PATH] = {}, status[32] = {}, path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"QV_UNREGISTER_LOG", log, MAX_PATH) > 0) {
        const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        const HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            path[length] = L'\n';
            DWORD written = 0;
            WriteFile(file, path, (length + 1) * sizeof(wchar_t), &written, nullptr);
            CloseHandle(file);
        }
    }
    if (GetEnvironmentVariableW(L"QV_UNREGISTER_STATUS", status, 32) > 0) {
        if (std::wcscmp(status, L"crash") == 0) *reinterpret_cast<volatile int*>(static_cast<std::uintptr_t>(16)) = 1;
        return static_cast<HRESULT>(std::wcstoul(status, nullptr, 16));
    }
    return S_OK;
}
