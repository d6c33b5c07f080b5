#include "engine/common/registry.h"

#include <cstring>
#include <vector>

#include "engine/common/platform.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

LSTATUS RegReadRawValue(HKEY key, const std::string& name, TRegRawValue& value) {
    value = {};
    const std::wstring wideName = Widen(name);
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, wideName.c_str(), nullptr, &value.Type, nullptr, &size);
    while (status == ERROR_SUCCESS) {
        value.Data.resize(size);
        DWORD got = size;
        status = RegQueryValueExW(key, wideName.c_str(), nullptr, &value.Type, value.Data.data(), &got);
        if (status == ERROR_MORE_DATA) {  // the value grew in between
            size = got;
            status = ERROR_SUCCESS;
            continue;
        }
        value.Data.resize(got);
        break;
    }
    if (status != ERROR_SUCCESS) value = {};
    return status;
}

bool RegReadString(HKEY key, const std::string& name, std::string& value) {
    value.clear();
    TRegRawValue raw;
    if (RegReadRawValue(key, name, raw) != ERROR_SUCCESS) return false;
    if (raw.Type != REG_SZ && raw.Type != REG_EXPAND_SZ) return false;
    // Up to the first zero, or all of it: a value stored without its
    // terminating zero keeps its last character.
    std::wstring text(raw.Data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), raw.Data.data(), text.size() * sizeof(wchar_t));
    const std::size_t zero = text.find(L'\0');
    value = Narrow(text.data(), zero == std::wstring::npos ? text.size() : zero);
    return true;
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
