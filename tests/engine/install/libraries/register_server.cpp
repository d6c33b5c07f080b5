// A library for the self-registration tests. With QV_REGISTER_RESULT
// defined it exports DllRegisterServer, which notes each call (the
// library's own path, one line) in the file that QV_TEST_REGISTER_LOG
// names and returns that status; with QV_REGISTER_CRASHES, one that writes
// where no memory is (an access violation); with neither, it exports
// nothing.
#include <windows.h>

#include <cstdint>

namespace {
HMODULE self = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

#ifdef QV_REGISTER_RESULT
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t log[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"QV_TEST_REGISTER_LOG", log, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        const HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            wchar_t path[MAX_PATH];
            const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
            char line[4 * MAX_PATH + 2];
            int bytes = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), line, 4 * MAX_PATH, nullptr,
                                            nullptr);
            line[bytes++] = '\n';
            DWORD written = 0;
            WriteFile(file, line, static_cast<DWORD>(bytes), &written, nullptr);
            CloseHandle(file);
        }
    }
    return static_cast<HRESULT>(QV_REGISTER_RESULT);
}
#endif

#ifdef QV_REGISTER_CRASHES
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    *reinterpret_cast<volatile int*>(static_cast<std::uintptr_t>(16)) = 1;
    return S_OK;
}
#endif
