#include "testkit/pending_renames.h"

#include <windows.h>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";
constexpr wchar_t kNtPrefix[] = L"\\??\\";

std::vector<std::wstring> ReadStrings() {
    std::vector<std::wstring> strings;
    UniqueHKey key;
    DWORD size = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.get(), kValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return strings;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    RegQueryValueExW(key.get(), kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    for (std::size_t at = 0; at < size / sizeof(wchar_t);) {
        std::wstring s(data.c_str() + at);
        at += s.size() + 1;
        strings.push_back(s);
    }
    return strings;
}

std::string WithoutNtPrefix(std::wstring s) {
    if (s.rfind(kNtPrefix, 0) == 0) s.erase(0, 4);
    return Narrow(s);
}

}  // namespace

std::vector<PendingRename> PendingRenames() {
    const std::vector<std::wstring> all = ReadStrings();
    std::vector<PendingRename> renames;
    for (std::size_t i = 0; i + 1 < all.size(); i += 2) {
        std::wstring target = all[i + 1];
        const bool replaces = !target.empty() && target[0] == L'!';
        if (replaces) target.erase(0, 1);
        renames.push_back({WithoutNtPrefix(all[i]), (replaces ? "!" : "") + WithoutNtPrefix(target)});
    }
    return renames;
}

void ForgetPendingRenamesUnder(const std::string& folder) {
    const std::vector<std::wstring> all = ReadStrings();
    const std::wstring prefix = Widen(folder);
    std::wstring kept;
    bool any = false;
    for (std::size_t i = 0; i + 1 < all.size(); i += 2) {
        const std::wstring source = Widen(WithoutNtPrefix(all[i]));
        const bool under = _wcsnicmp(source.c_str(), prefix.c_str(), prefix.size()) == 0 &&
                           (source.size() == prefix.size() || source[prefix.size()] == L'\\');
        if (under) continue;
        kept += all[i] + L'\0' + all[i + 1] + L'\0';
        any = true;
    }
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (!any) {
        RegDeleteValueW(key.get(), kValue);
        return;
    }
    kept += L'\0';
    RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                   static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

}  // namespace qv::test
