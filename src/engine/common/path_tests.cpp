#include "engine/common/path_tests.h"

#include <windows.h>

#include "core/text/path_strings.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {
bool IsDriveRoot(const std::string& path) {
    return path.size() >= 2 && path.compare(path.size() - 2, 2, ":\\") == 0;
}
}  // namespace

std::int32_t GetPathAttributes(const std::string& path) {
    const std::string tested = IsDriveRoot(path) ? path : StripBackslash(path);
    const ScopedErrorMode noDiskBox(SEM_FAILCRITICALERRORS);
    const DWORD attributes = GetFileAttributesW(Widen(tested).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? -1 : static_cast<std::int32_t>(attributes);
}

bool PathExists(const std::string& path) { return GetPathAttributes(path) != -1; }

bool FolderExists(const std::string& path) {
    const std::int32_t attributes = GetPathAttributes(path);
    return attributes != -1 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
    const std::int32_t attributes = GetPathAttributes(path);
    return attributes != -1 && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string GetShortPath(const std::string& path) {
    const std::wstring wide = Widen(path);
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetShortPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return path;
        // A count not below the buffer offered is the size Windows needs.
        if (n < buffer.size()) return Narrow(buffer.data(), n);
        buffer.assign(n, L'\0');
    }
}

bool IsFullPath(const std::string& path) {
    const auto isDriveLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const bool drivePath = path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\';
    const bool networkPath = path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    return drivePath || networkPath;
}

}  // namespace qv
