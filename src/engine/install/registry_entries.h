// The install step that writes the setup's registry entries, and the
// helpers it shares with the uninstall key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/install/install_context.h"

namespace qv {

// The handle of a predefined root key from its 32-bit value, as the setup
// data and the undo entries carry it (sign-extended in a 64-bit process).
HKEY PredefinedRootKey(std::uint32_t value);

// REG_SZ `text` with its terminating zero counted in the size; false when
// Windows refuses.
bool RegWriteString(HKEY key, const std::string& name, DWORD type, const std::string& text);

// Every TRegistryRec in record order. An entry whose key cannot be opened
// or created ("创建注册表出错: %s") or whose value cannot be written
// ("写注册表出错: %s") is offered for retry, skip or cancel; a written entry
// records the undo entry its flags ask for. The gauge advances by 1000 at
// the end; the window is not pumped in between. Abort raises EAbort.
void WriteRegistryEntries(TInstallContext& context);

}  // namespace qv
