// Undoing the entries only a rollback knows: putting back what the
// installation replaced, overwrote or created.
#include <windows.h>

#include <charconv>
#include <cstdlib>
#include <initializer_list>

#include "core/errors.h"
#include "core/uninstall/undo_guard_rules.h"
#include "engine/common/format_text.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/undo/rollback_entries.h"
#include "engine/undo/undo_guards.h"
#include "engine/undo/undo_run.h"
#include "engine/undo/undo_support.h"

namespace qv {

std::string HexOfBytes(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) hex += digits[c >> 4], hex += digits[c & 15];
    return hex;
}

std::string BytesOfHex(const std::string& hex) {
    const auto value = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = value(hex[i]), low = value(hex[i + 1]);
        if (high < 0 || low < 0) return {};
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

namespace {

// The facts of a backup as ekRestoreFile keeps them: "attributes
// creation-time write-time", three hexadecimal numbers. False unless all
// three are there.
bool ReadFileFacts(const std::string& facts, unsigned long long& attributes, unsigned long long& created,
                   unsigned long long& written) {
    const char* at = facts.data();
    const char* const end = at + facts.size();
    for (unsigned long long* value : {&attributes, &created, &written}) {
        while (at < end && *at == ' ') ++at;
        const auto [next, error] = std::from_chars(at, end, *value, 16);
        if (error != std::errc()) return false;
        at = next;
    }
    return true;
}

FILETIME FileTimeOf(unsigned long long value) {
    return {static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

}  // namespace

void UndoRun::RestoreFile(const std::string& path, const std::string& backup, const std::string& facts) {
    RequireFullPath(path);
    RequireFullPath(backup);
    const TWayLock way(path, &ways_), wayOfBackup(backup);
    if (way.Refusal()) return Refuse(way.Refusal());
    if (wayOfBackup.Refusal()) return Refuse(wayOfBackup.Refusal());
    if (!FileExists(backup)) {
        // Without its backup nothing can be put back: the user hears of it.
        throw Exception(FormatText("不能恢复被替换的文件 %s：备份 %s 不见了", {path, backup}));
    }
    const std::wstring widePath = Widen(path);
    // The installation's file may be read-only by now; it goes either way.
    SetFileAttributesW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(Widen(backup).c_str(), widePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        const DWORD error = GetLastError();
        Fail("cannot put back " + Quoted(path) + " from " + Quoted(backup) + ": " + WindowsErrorText(error), error);
        throw Exception(FormatText("不能恢复被替换的文件 %s（代码 %d）", {path, static_cast<long>(error)}));
    }
    // A copy (the backup on another drive) carries neither the times nor
    // all attributes of the original.
    unsigned long long attributes = 0, created = 0, written = 0;
    if (ReadFileFacts(facts, attributes, created, written)) {
        const UniqueHFile file(CreateFileW(widePath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            const FILETIME creation = FileTimeOf(created), lastWrite = FileTimeOf(written);
            SetFileTime(file.get(), &creation, nullptr, &lastWrite);
        }
        SetFileAttributesW(widePath.c_str(), attributes != 0 ? static_cast<DWORD>(attributes) : FILE_ATTRIBUTE_NORMAL);
    }
}

void UndoRun::RemoveNewFile(const std::string& path) {
    RequireFullPath(path);
    const TWayLock way(path, &ways_);
    if (way.Refusal()) return Refuse(way.Refusal());
    if (way.Missing()) return Skip("the file is gone already");
    if (!FileExists(path)) return Skip("the file is gone already");
    // The profile functions may keep it in a cache and write it again later.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(path).c_str());
    if (!DeleteFileW(Widen(path).c_str())) {
        const DWORD error = GetLastError();
        Fail("cannot delete " + Quoted(path) + ", which the installation made: " + WindowsErrorText(error), error);
    }
}

void UndoRun::RestoreRegValue(std::uint32_t rootValue, const std::string& subKey, const std::string& name,
                              bool existed, DWORD type, const std::string& data) {
    const HKEY root = RootKeyOfEntry(rootValue);
    const std::wstring wideName = Widen(name);
    const wchar_t* valueName = name.empty() ? nullptr : wideName.c_str();
    UniqueHKey key;
    if (!existed) {
        if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, key.put()) !=
            ERROR_SUCCESS)
            return Skip("the key is gone already");
        if (!RegHasValue(key.get(), name)) return Skip("the value is gone already");
        const LSTATUS status = RegDeleteValueW(key.get(), valueName);
        if (status != ERROR_SUCCESS) Fail("the value cannot be deleted: " + WindowsErrorText(status), status);
        return;
    }
    LSTATUS status = RegCreateKeyExW(root, Widen(subKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                     nullptr);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.get(), valueName, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS) {
        Fail("the earlier value cannot be written back: " + WindowsErrorText(status), status);
        throw Exception(FormatText("不能恢复注册表值 %s\\%s（代码 %d）",
                                   {RegistryRootUserText(rootValue) + "\\" + subKey, name, static_cast<long>(status)}));
    }
}

void UndoRun::RemoveNewKey(std::uint32_t rootValue, const std::string& subKey) {
    const HKEY root = RootKeyOfEntry(rootValue);
    // Made for the application's value (an empty Run key of a new user):
    // the system keeps it.
    if (IsProtectedKey(rootValue, subKey, TKeyChange::DeleteKey, source_)) return Skip("the key is the system's and stays");
    DWORD subKeys = 0, values = 0;
    {
        UniqueHKey key;
        if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
            return Skip("the key is gone already");
        const LSTATUS status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                &values, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return Fail("the key cannot be examined: " + WindowsErrorText(status), status);
    }
    // Something else was put there meanwhile: it stays, with its key.
    if (subKeys != 0 || values != 0) return Skip("the key the installation made holds something else now");
    if (!RegDeleteKeyTree(root, subKey)) Fail("the key the installation made cannot be deleted");
}

}  // namespace qv
