#include "engine/common/platform.h"

#include <windows.h>

#include <cstdint>

#include "engine/common/win_handles.h"
#include "engine/common/windows_version.h"

namespace qv {

namespace {
// 2 = not asked yet, 0 = no, 1 = yes.
std::uint8_t g_win4Shell = 2;
}  // namespace

bool IsWinNT() { return GetWindowsVersion().PlatformId == kPlatformWin32NT; }

bool HasWin4Shell() {
    if (g_win4Shell == 2) g_win4Shell = GetWindowsVersion().Major() >= 4 ? 1 : 0;
    return g_win4Shell == 1;
}

void ForgetWin4ShellAnswer() { g_win4Shell = 2; }

bool HasAdminRights() {
    if (!IsWinNT()) return true;
    const UniqueScHandle manager(
        OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE));
    return manager.valid();
}

}  // namespace qv
