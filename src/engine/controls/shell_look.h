// Whether the controls take the look of the Windows 4 shell (the "95"
// glyphs, the shell's folder browser) or that of the older systems.
#pragma once

#include <optional>

namespace qv {

bool UseWin4Look();

// Tests only: presents the old or the new shell until reset with nullopt.
void OverrideWin4Look(std::optional<bool> win4);

}  // namespace qv
