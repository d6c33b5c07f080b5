#include "engine/common/registry.h"

#include <vector>

#include "engine/common/platform.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

bool RegReadString(HKEY key, const std::string& name, std::string& value) {
    value.clear();
    const std::wstring wideName = Widen(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    for (;;) {
        if (size < sizeof(wchar_t)) return true;
        // One more character than the data holds, zeroed: a value stored
        // without its terminating zero keeps its last character.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        const LONG result = RegQueryValueExW(key, wideName.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (result == ERROR_MORE_DATA) {  // the value grew in between
            size = got;
            continue;
        }
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        std::size_t length = got / sizeof(wchar_t);
        for (std::size_t i = 0; i < length; ++i)
            if (buffer[i] == L'\0') length = i;
        value = Narrow(buffer.data(), length);
        return true;
    }
}

bool RegHasValue(HKEY key, const std::string& name) {
    return RegQueryValueExW(key, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

namespace {

bool DeleteKeyTree(HKEY key, const std::wstring& subKey) {
    // The Windows 95 family deletes a whole tree with RegDeleteKey alone.
    if (IsWinNT()) {
        UniqueHKey opened;
        if (RegOpenKeyExW(key, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, opened.put()) !=
            ERROR_SUCCESS)
            return false;
        DWORD longest = 0;
        if (RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            if (longest < 1) longest = 1;
            std::vector<wchar_t> name(longest + 1);
            for (DWORD index = 0;;) {
                DWORD length = static_cast<DWORD>(name.size());
                if (RegEnumKeyExW(opened.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                // After a delete the list has shifted: the same index names the next key.
                if (!DeleteKeyTree(opened.get(), std::wstring(name.data(), length))) ++index;
            }
        }
    }
    return RegDeleteKeyW(key, subKey.c_str()) == ERROR_SUCCESS;
}

}  // namespace

bool RegDeleteKeyTree(HKEY key, const std::string& subKey) {
    if (subKey.empty()) return false;
    return DeleteKeyTree(key, Widen(subKey));
}

}  // namespace qv
