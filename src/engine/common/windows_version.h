// The Windows version as the engine sees it: the low word of GetVersion
// (low byte major, high byte minor) and the platform id. Every version test
// of the engine reads it here, so that tests can present the old systems
// (below 4, the Windows 95 family, Win32s) that no modern system reports.
#pragma once

#include <cstdint>
#include <optional>

namespace qv {

// Platform ids of GetVersionEx.
constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWin32Windows = 1;  // the Windows 95 family
constexpr std::uint32_t kPlatformWin32NT = 2;

struct WindowsVersion {
    std::uint16_t Version = 0;  // low word of GetVersion
    std::uint32_t PlatformId = kPlatformWin32NT;

    std::uint8_t Major() const { return static_cast<std::uint8_t>(Version & 0xFF); }
    std::uint8_t Minor() const { return static_cast<std::uint8_t>(Version >> 8); }
    static WindowsVersion Of(std::uint8_t major, std::uint8_t minor, std::uint32_t platformId) {
        return {static_cast<std::uint16_t>(major | (minor << 8)), platformId};
    }
};

// The running system's version, or the one a test has set.
WindowsVersion GetWindowsVersion();

// Tests only: presents `version` to the engine until reset with nullopt.
void OverrideWindowsVersion(std::optional<WindowsVersion> version);

// Tests only: the override for one scope.
class ScopedWindowsVersion {
public:
    explicit ScopedWindowsVersion(WindowsVersion version) { OverrideWindowsVersion(version); }
    ~ScopedWindowsVersion() { OverrideWindowsVersion(std::nullopt); }
    ScopedWindowsVersion(const ScopedWindowsVersion&) = delete;
    ScopedWindowsVersion& operator=(const ScopedWindowsVersion&) = delete;
};

}  // namespace qv
