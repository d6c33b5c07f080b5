// Reading and deleting in the registry. Missing keys and values are
// answered with false, never with an exception.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv {

// A value as the registry stores it.
struct TRegRawValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

// The value `name` ("" for the key's default value), read whole even when
// it grows in between. ERROR_SUCCESS, or the registry's error
// (ERROR_FILE_NOT_FOUND when there is none); `value` is empty unless read.
LSTATUS RegReadRawValue(HKEY key, const std::string& name, TRegRawValue& value);

// Reads a REG_SZ or REG_EXPAND_SZ value (the latter unexpanded). False when
// the value is missing, of another type or cannot be read; `value` is then
// empty.
bool RegReadString(HKEY key, const std::string& name, std::string& value);
bool RegHasValue(HKEY key, const std::string& name);
// Deletes `subKey` of `key` with everything below it. Subkeys that cannot be
// deleted are passed over; the result is whether `subKey` itself went. An
// empty `subKey` is refused (false): it would name `key` itself.
bool RegDeleteKeyTree(HKEY key, const std::string& subKey);

}  // namespace qv
