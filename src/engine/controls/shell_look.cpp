#include "engine/controls/shell_look.h"

#include <windows.h>

namespace qv {

namespace {
std::optional<bool> g_override;
}

bool UseWin4Look() {
    if (g_override) return *g_override;
    // The major version is the low byte of GetVersion.
    return LOBYTE(LOWORD(GetVersion())) >= 4;
}

void OverrideWin4Look(std::optional<bool> win4) { g_override = win4; }

}  // namespace qv
