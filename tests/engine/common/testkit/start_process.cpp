#include "testkit/start_process.h"

namespace qv::test {

bool StartProcess(const wchar_t* program, std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                  void* environment, const wchar_t* folder, STARTUPINFOW& startup, PROCESS_INFORMATION& info) {
    for (int attempt = 0;; ++attempt) {
        if (CreateProcessW(program, commandLine.data(), nullptr, nullptr, inheritHandles, flags, environment, folder,
                           &startup, &info))
            return true;
        if (attempt == 2) return false;
        const DWORD error = GetLastError();
        Sleep(200);
        SetLastError(error);
    }
}

}  // namespace qv::test
