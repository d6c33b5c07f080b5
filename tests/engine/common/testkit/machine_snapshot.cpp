#include "testkit/machine_snapshot.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "testkit/scratch.h"

namespace qv::test {

namespace {

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

// FNV-1a: enough to tell two contents apart in a test.
std::uint64_t ContentHash(const std::string& path) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint8_t byte : ReadFileBytes(path)) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

void AddFolder(const std::string& folder, const std::string& relative, std::vector<std::string>& lines) {
    WIN32_FIND_DATAW found;
    const UniqueFindHandle find(FindFirstFileW(Widen(folder + "\\*").c_str(), &found));
    if (!find) return;
    do {
        const std::string name = Narrow(found.cFileName);
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name, shown = relative + name;
        std::string line = shown + " attributes " + Hex(found.dwFileAttributes);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back(line + " folder");
            AddFolder(path, shown + "\\", lines);
        } else {
            const std::uint64_t size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
            const std::uint64_t time =
                (std::uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) | found.ftLastWriteTime.dwLowDateTime;
            lines.push_back(line + " size " + std::to_string(size) + " written " + Hex(time) + " contents " +
                            Hex(ContentHash(path)));
        }
    } while (FindNextFileW(find.get(), &found));
}

void AddKey(HKEY key, const std::string& path, std::vector<std::string>& lines) {
    lines.push_back("[" + path + "]");
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size);
        nameLength = 16384;
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        std::string line = "  \"" + Narrow(name) + "\" type " + std::to_string(type) + " =";
        for (DWORD b = 0; b < size; ++b) line += " " + Hex(data[b]);
        values.push_back(line);
    }
    std::sort(values.begin(), values.end());
    lines.insert(lines.end(), values.begin(), values.end());
    std::vector<std::string> subKeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.push_back(Narrow(name));
    }
    std::sort(subKeys.begin(), subKeys.end());
    for (const std::string& name : subKeys) {
        UniqueHKey sub;
        if (RegOpenKeyExW(key, Widen(name).c_str(), 0, KEY_READ | EngineRegistryView(), sub.put()) == ERROR_SUCCESS)
            AddKey(sub.get(), path + "\\" + name, lines);
    }
}

std::string Joined(std::vector<std::string> lines, bool sort) {
    if (sort) std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

std::string FolderSnapshot(const std::string& folder) {
    if (GetFileAttributesW(Widen(folder).c_str()) == INVALID_FILE_ATTRIBUTES) return "<none>\n";
    std::vector<std::string> lines;
    AddFolder(folder, "", lines);
    return Joined(lines, true);
}

std::string RegistrySnapshot(HKEY root, const std::string& subKey) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_READ | EngineRegistryView(), key.put()) != ERROR_SUCCESS)
        return "<none>\n";
    std::vector<std::string> lines;
    AddKey(key.get(), subKey, lines);
    return Joined(lines, false);
}

std::string SharedFileCount(const std::string& path) {
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                      KEY_QUERY_VALUE | EngineRegistryView(), key.put()) != ERROR_SUCCESS)
        return "none";
    DWORD count = 0, size = sizeof count;
    if (RegQueryValueExW(key.get(), Widen(path).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) !=
        ERROR_SUCCESS)
        return "none";
    return std::to_string(count);
}

}  // namespace qv::test
