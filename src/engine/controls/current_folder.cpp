#include "engine/controls/current_folder.h"

#include <windows.h>

#include "core/errors.h"
#include "engine/common/win_text.h"

namespace qv {

std::string GetCurrentFolder() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return Narrow(buf);
        }
        buf.resize(n);
    }
}

void ChangeCurrentFolder(const std::string& path) {
    if (!SetCurrentDirectoryW(Widen(path).c_str())) throw EInOutError(static_cast<int>(GetLastError()));
}

bool TryChangeCurrentFolder(const std::string& path) {
    return !path.empty() && SetCurrentDirectoryW(Widen(path).c_str()) != FALSE;
}

std::string LowerCaseFileName(const std::string& s) {
    std::wstring w = Widen(s);
    if (!w.empty()) CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
    return Narrow(w);
}

std::string UpperCaseFileName(const std::string& s) {
    std::wstring w = Widen(s);
    if (!w.empty()) CharUpperBuffW(w.data(), static_cast<DWORD>(w.size()));
    return Narrow(w);
}

bool SameFileName(const std::string& a, const std::string& b) {
    return LowerCaseFileName(a) == LowerCaseFileName(b);
}

}  // namespace qv
