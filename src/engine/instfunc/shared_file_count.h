// Shared-file reference counts: one value per file under HKLM
// "Software\Microsoft\Windows\CurrentVersion\SharedDLLs", named by the
// file's full path, holding the number of installations that use it.
// Other installers store a count as REG_DWORD, as REG_BINARY of 1 to 4
// bytes (little-endian) or as REG_SZ decimal text; a count is written back
// in the type it was found in, so that those installers still read it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/common/win_handles.h"

namespace qv {

constexpr char kSharedDllsKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// A count as found in the registry.
struct TStoredSharedCount {
    bool Exists = false;                // a value of that name is there
    std::optional<std::int32_t> Count;  // what it holds, when it is a count in one of the three forms
    DWORD Type = REG_DWORD;             // the type to write it back in: REG_DWORD unless Count was read
};

// Opens, or creates, the SharedDLLs key for reading and writing counts.
// Raises Exception("打开注册表出错: <key path>") when it cannot.
UniqueHKey OpenSharedDllsKey();

// Reads the count of `filePath` in `key` (the SharedDLLs key). A value of
// another type, a binary value of another size, text that is not a number
// and a failed read all leave Count empty.
TStoredSharedCount ReadSharedFileCount(HKEY key, const std::string& filePath);

// Writes `count` under `filePath` as REG_SZ decimal text (with its
// terminating zero), or as 4 little-endian bytes of REG_BINARY or
// REG_DWORD (any other type is written as REG_DWORD). True when the
// registry took it.
bool WriteSharedFileCount(HKEY key, const std::string& filePath, std::int32_t count, DWORD type);

// Raises the count of `filePath` by one, keeping its stored type. A
// missing or unreadable count starts at 0, or at 1 when the file was on
// disk before this installation (`wasPresent`): it is taken to have had one
// user. Raises only when the key cannot be opened.
void RaiseSharedFileCount(const std::string& filePath, bool wasPresent);

}  // namespace qv
