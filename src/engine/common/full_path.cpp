#include "engine/common/full_path.h"

#include <windows.h>

#include "engine/common/win_text.h"

namespace qv {

std::string FullPathOf(const std::string& path) {
    const std::wstring wide = Widen(path);
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return path;
        // A result not below the buffer's length is the length it needs.
        if (n < buffer.size()) return Narrow(buffer.substr(0, n));
        buffer.assign(n, L'\0');
    }
}

}  // namespace qv
