#include "engine/install/file_version.h"

#include <windows.h>

#include <vector>

#include "engine/common/system_library.h"
#include "engine/common/win_text.h"

namespace qv {

bool ReadFileVersion(const std::string& fileName, std::uint32_t& versionMS, std::uint32_t& versionLS) {
    versionMS = versionLS = 0;
    const std::wstring wideName = Widen(fileName);
    DWORD ignored = 0;
    const DWORD size = system_library::GetFileVersionInfoSizeW(wideName.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<std::uint8_t> resource(size);
    if (!system_library::GetFileVersionInfoW(wideName.c_str(), 0, size, resource.data())) return false;
    void* block = nullptr;
    UINT blockSize = 0;
    if (!system_library::VerQueryValueW(resource.data(), L"\\", &block, &blockSize) || !block) return false;
    // A damaged resource may hold a shorter root block; its fields would
    // lie past it.
    if (blockSize < sizeof(VS_FIXEDFILEINFO)) return false;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    versionMS = fixed->dwFileVersionMS;
    versionLS = fixed->dwFileVersionLS;
    return true;
}

}  // namespace qv
