#include "engine/undo/key_tree_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/undo/rollback_entries.h"

namespace qv {

namespace {

std::string Utf8Hex(const std::wstring& text) { return HexOfBytes(Narrow(text)); }

void AddKey(HKEY key, const std::string& path, std::string& text) {
    // Each field starts with "=", so that an empty one is still a field.
    text += "K =" + HexOfBytes(path) + "\n";
    for (DWORD i = 0;; ++i) {
        std::wstring name(16384, L'\0');
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        nameLength = static_cast<DWORD>(name.size());
        RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        name.resize(nameLength);
        data.resize(size);
        text += "V =" + Utf8Hex(name) + " " + std::to_string(type) + " =" + HexOfBytes(data) + "\n";
    }
    std::vector<std::wstring> subKeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.emplace_back(name, nameLength);
    }
    for (const std::wstring& name : subKeys) {
        UniqueHKey sub;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, sub.put()) == ERROR_SUCCESS)
            AddKey(sub.get(), path.empty() ? Narrow(name) : path + "\\" + Narrow(name), text);
    }
}

}  // namespace

std::string KeyTreeText(HKEY root, const std::string& subKey) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    std::string text;
    AddKey(key.get(), "", text);
    return text;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The fields of one line, split at runs of white space.
std::vector<std::string_view> FieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsSpace(line[at])) ++at;
        const std::size_t start = at;
        while (at < line.size() && !IsSpace(line[at])) ++at;
        if (at > start) fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

// A field "=<hex>": the bytes, or nullopt for a field without its "=".
std::optional<std::string> HexField(std::string_view field) {
    if (field.empty() || field[0] != '=') return std::nullopt;
    return BytesOfHex(std::string(field.substr(1)));
}

// A registry type in decimal; nullopt for anything else, so that a damaged
// type never turns into another type (or an exception out of a rollback).
std::optional<std::uint32_t> TypeField(std::string_view field) {
    if (field.empty() || field.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::vector<journal::RegTreeKey> KeyTreeOfText(const std::string& text) {
    std::vector<journal::RegTreeKey> keys;
    const std::string_view all(text);
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find('\n', start), all.size());
        const std::vector<std::string_view> fields = FieldsOf(all.substr(start, end - start));
        start = end + 1;
        if (fields.size() < 2) continue;
        const auto first = HexField(fields[1]);
        if (!first) continue;
        if (fields[0] == "K") {
            keys.push_back({*first, {}});
        } else if (fields[0] == "V" && !keys.empty() && fields.size() >= 4) {
            const auto type = TypeField(fields[2]);
            const auto data = HexField(fields[3]);
            if (type && data) keys.back().Values.push_back({*first, *type, *data});
        }
    }
    return keys;
}

std::string TextOfKeyTree(const std::vector<journal::RegTreeKey>& keys) {
    std::string text;
    for (const journal::RegTreeKey& key : keys) {
        text += "K =" + HexOfBytes(key.Path) + "\n";
        for (const journal::RegTreeValue& value : key.Values)
            text += "V =" + HexOfBytes(value.Name) + " " + std::to_string(value.Type) + " =" + HexOfBytes(value.Data) +
                    "\n";
    }
    return text;
}

bool WriteKeyTree(HKEY root, const std::string& subKey, const std::string& text) {
    bool ok = true;
    for (const journal::RegTreeKey& tree : KeyTreeOfText(text)) {
        const std::string path = tree.Path.empty() ? subKey : subKey + "\\" + tree.Path;
        UniqueHKey key;
        if (RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
            ERROR_SUCCESS) {
            ok = false;
            continue;
        }
        for (const journal::RegTreeValue& value : tree.Values) {
            const std::wstring name = Widen(value.Name);
            ok = RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, value.Type,
                                reinterpret_cast<const BYTE*>(value.Data.data()),
                                static_cast<DWORD>(value.Data.size())) == ERROR_SUCCESS && ok;
        }
    }
    return ok;
}

}  // namespace qv
