// The pieces of undoing that stand on their own: the shared-file count
// going down again, a library unregistering itself, an INI section's keys.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/instfunc/library_registration.h"

namespace qv {

// Lowers the shared-file count of `filePath` by one, keeping the type it is
// stored in; a count that cannot be read counts as 2, so that it drops to 1
// and the file stays. True when the count reached zero and its value was
// removed; false when there was no count or it is still above zero. Raises
// Exception("打开注册表出错: ...") when the SharedDLLs key does not open.
bool LowerSharedFileCount(const std::string& filePath);

// Calls the library's "DllUnregisterServer" in a child process (see
// library_registration.h): Registered when it returned a status that is
// not negative; otherwise how far it got, a crash of the library included.
TSelfRegisterOutcome CallDllUnregister(const std::string& filePath);

// The section holds no keys (or does not exist) in `iniFile`, or in the
// Windows WIN.INI when `iniFile` is empty.
bool IniSectionHasNoKeys(const std::string& section, const std::string& iniFile);

// The predefined registry key whose handle value an entry's Flags hold
// (HKEY_CURRENT_USER is 0x80000001 and so on). Any other value raises
// Exception: read as a handle it could name whatever key the process has
// open, and undo acts on nothing it did not record.
HKEY RootKeyOfEntry(std::uint32_t flags);

}  // namespace qv
