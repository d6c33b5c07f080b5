#include <windows.h>

#include <sstream>
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

bool WriteKeyTree(HKEY root, const std::string& subKey, const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    UniqueHKey key;
    bool ok = true;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string tag, first, type, data;
        fields >> tag >> first;
        if (first.empty() || first[0] != '=') continue;
        first.erase(0, 1);
        if (tag == "K") {
            const std::string relative = BytesOfHex(first);
            const std::string path = relative.empty() ? subKey : subKey + "\\" + relative;
            key.reset();
            ok = RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                 nullptr) == ERROR_SUCCESS && ok;
        } else if (tag == "V" && key) {
            fields >> type >> data;
            if (data.empty() || data[0] != '=') continue;
            data.erase(0, 1);
            const std::wstring name = Widen(BytesOfHex(first));
            const std::string bytes = BytesOfHex(data);
            ok = RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, std::stoul(type),
                                reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())) ==
                     ERROR_SUCCESS && ok;
        }
    }
    return ok;
}

}  // namespace qv
