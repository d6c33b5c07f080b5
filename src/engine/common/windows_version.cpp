#include "engine/common/windows_version.h"

#include <windows.h>

#include "engine/common/platform.h"

namespace qv {

namespace {
std::optional<WindowsVersion> g_override;

WindowsVersion ReadSystemVersion() {
    WindowsVersion v;
    v.Version = LOWORD(GetVersion());
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExW(&info)) v.PlatformId = info.dwPlatformId;
    return v;
}
}  // namespace

WindowsVersion GetWindowsVersion() {
    if (g_override) return *g_override;
    static const WindowsVersion system = ReadSystemVersion();
    return system;
}

void OverrideWindowsVersion(std::optional<WindowsVersion> version) {
    g_override = version;
    // The shell test caches its answer; a new version must be asked again.
    ForgetWin4ShellAnswer();
}

}  // namespace qv
