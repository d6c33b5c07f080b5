#include "testkit/pending_renames.h"

#include <algorithm>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

namespace {

constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

UniqueHKey OpenSessionManager() {
    UniqueHKey key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                  KEY_QUERY_VALUE | KEY_SET_VALUE, key.put());
    return key;
}

std::optional<std::vector<BYTE>> ReadRaw() {
    const UniqueHKey key = OpenSessionManager();
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), kValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    std::vector<BYTE> bytes(size);
    RegQueryValueExW(key.get(), kValue, nullptr, &type, bytes.data(), &size);
    bytes.resize(size);
    return bytes;
}

}  // namespace

PendingRenames::PendingRenames() : saved_(ReadRaw()) {}

PendingRenames::~PendingRenames() {
    const UniqueHKey key = OpenSessionManager();
    if (saved_)
        RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, saved_->data(), static_cast<DWORD>(saved_->size()));
    else
        RegDeleteValueW(key.get(), kValue);
}

std::vector<std::pair<std::wstring, std::wstring>> PendingRenames::Read() {
    std::vector<std::wstring> strings;
    if (const auto raw = ReadRaw()) {
        const auto* text = reinterpret_cast<const wchar_t*>(raw->data());
        const std::size_t length = raw->size() / sizeof(wchar_t);
        for (std::size_t start = 0; start < length;) {
            std::size_t end = start;
            while (end < length && text[end]) ++end;
            strings.emplace_back(text + start, end - start);
            start = end + 1;
        }
    }
    // The list ends with an empty string.
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) pairs.emplace_back(strings[i], strings[i + 1]);
    return pairs;
}

bool PendingRenames::Holds(const std::string& source, const std::string& target) {
    const std::pair<std::wstring, std::wstring> wanted{SystemName(source),
                                                       target.empty() ? L"" : L"!" + SystemName(target)};
    const auto pairs = Read();
    return std::find(pairs.begin(), pairs.end(), wanted) != pairs.end();
}

std::wstring SystemName(const std::string& path) { return L"\\??\\" + Widen(path); }

namespace {

std::string LocalName(std::wstring name) {
    if (name.rfind(L"\\??\\", 0) == 0) name.erase(0, 4);
    return Narrow(name);
}

}  // namespace

std::vector<PendingRename> ListPendingRenames() {
    std::vector<PendingRename> renames;
    for (auto [source, target] : PendingRenames::Read()) {
        const bool replaces = !target.empty() && target[0] == L'!';
        if (replaces) target.erase(0, 1);
        renames.push_back({LocalName(source), (replaces ? "!" : "") + LocalName(target)});
    }
    return renames;
}

void ForgetPendingRenamesUnder(const std::string& folder) {
    const std::wstring prefix = Widen(folder);
    std::wstring kept;
    for (const auto& [source, target] : PendingRenames::Read()) {
        const std::wstring local = Widen(LocalName(source));
        const bool under = _wcsnicmp(local.c_str(), prefix.c_str(), prefix.size()) == 0 &&
                           (local.size() == prefix.size() || local[prefix.size()] == L'\\');
        if (!under) kept += source + L'\0' + target + L'\0';
    }
    const UniqueHKey key = OpenSessionManager();
    if (kept.empty()) {
        RegDeleteValueW(key.get(), kValue);
        return;
    }
    kept += L'\0';
    RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                   static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

}  // namespace qv::test
