// A self-registering library whose registration can be seen in a snapshot
// of the registry: DllRegisterServer writes a value named by the library's
// own path into the HKEY_CURRENT_USER key that QV_TEST_REGISTER_KEY names,
// DllUnregisterServer deletes it again. Without the variable both do
// nothing and succeed.
#include <windows.h>

namespace {

HMODULE self = nullptr;

bool ReadSetting(const wchar_t* name, wchar_t* value, DWORD size) {
    const DWORD n = GetEnvironmentVariableW(name, value, size);
    return n > 0 && n < size;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t key[MAX_PATH], path[MAX_PATH];
    if (!ReadSetting(L"QV_TEST_REGISTER_KEY", key, MAX_PATH)) return S_OK;
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    const DWORD one = 1;
    const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, key, length ? path : L"?", REG_DWORD, &one, sizeof one);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    wchar_t key[MAX_PATH], path[MAX_PATH];
    if (!ReadSetting(L"QV_TEST_REGISTER_KEY", key, MAX_PATH)) return S_OK;
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, key, length ? path : L"?");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}
