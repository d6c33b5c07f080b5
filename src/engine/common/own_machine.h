// The machine type this program is built for, and what follows from it.
#pragma once

#include "core/setup/machine_type.h"

namespace qv {

inline constexpr TMachineType kOwnMachineType = sizeof(void*) == 8 ? TMachineType::X64 : TMachineType::X86;

// The uninstaller of this engine's installations, in the Windows folder.
inline const char* OwnUninstallerFileName() { return UninstallerFileName(kOwnMachineType); }

}  // namespace qv
