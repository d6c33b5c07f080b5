// Undoing INI entries and registry entries.
#include <windows.h>

#include "core/text/path_strings.h"
#include "core/uninstall/undo_guard_rules.h"
#include "engine/common/folders.h"
#include "engine/common/ini_profile_cp936.h"
#include "engine/common/path_tests.h"
#include "engine/common/log_text.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/undo/undo_guards.h"
#include "engine/undo/undo_run.h"
#include "engine/undo/undo_support.h"

namespace qv {

namespace {

UniqueHKey OpenKey(HKEY root, const std::string& subKey, REGSAM access) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
    return key;
}

// What the profile functions leave of a file whose last section went:
// nothing, or line ends. A comment or anything else of the user's keeps it.
bool FileHoldsOnlyBlankLines(const std::string& path) {
    const UniqueHFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        for (DWORD i = 0; i < got; ++i)
            if (buffer[i] != '\r' && buffer[i] != '\n' && buffer[i] != ' ' && buffer[i] != '\t') return false;
    return true;
}

// The file an INI entry names, as the profile functions find it: a bare
// name lies in the Windows folder; "" is WIN.INI.
std::string IniFilePath(const std::string& iniFile) {
    if (iniFile.empty()) return AppendBackslash(WindowsFolder()) + "WIN.INI";
    if (iniFile.find_first_of("\\/:") == std::string::npos) return AppendBackslash(WindowsFolder()) + iniFile;
    return iniFile;
}

}  // namespace

void UndoRun::UndoIniKey(const std::string& iniFile, const std::string& section, const std::string& key) {
    // The profile functions write through any link on the way.
    const TWayLock way(IniFilePath(iniFile), &ways_);
    if (way.Refusal()) return Refuse(way.Refusal());
    RemoveIniEntryCp936(section, &key, iniFile);
    if (IniSectionHasNoKeys(section, iniFile)) RemoveIniEntryCp936(section, nullptr, iniFile);
    if (uninstalling_) DeleteIniFileIfEmpty(iniFile);
}

void UndoRun::UndoIniSection(const std::string& iniFile, const std::string& section) {
    const TWayLock way(IniFilePath(iniFile), &ways_);
    if (way.Refusal()) return Refuse(way.Refusal());
    RemoveIniEntryCp936(section, nullptr, iniFile);
    if (uninstalling_) DeleteIniFileIfEmpty(iniFile);
}

void UndoRun::DeleteIniFileIfEmpty(const std::string& iniFile) {
    // WIN.INI is the system's, never ours to delete.
    if (iniFile.empty()) return;
    // A bare name is a file of the Windows folder, as the profile
    // functions read it; any other relative form is left alone.
    const std::string path = IniFilePath(iniFile);
    if (!IsFullPath(path) || !FileExists(path)) return;
    // The profile functions may keep the file in a cache until told.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(path).c_str());
    if (!FileHoldsOnlyBlankLines(path)) return;
    if (!DeleteFileW(Widen(path).c_str())) {
        const DWORD error = GetLastError();
        Fail("the INI file " + Quoted(path) + " is left empty and cannot be deleted: " + WindowsErrorText(error),
             error);
    }
}

// A key that does not open is gone already, or never was: nothing to undo.
// An empty subkey opens the root itself, which RegDeleteKeyTree refuses.

void UndoRun::UndoRegKeyTree(std::uint32_t rootValue, const std::string& subKey) {
    const HKEY root = RootKeyOfEntry(rootValue);
    if (!OpenKey(root, subKey, KEY_QUERY_VALUE)) return Skip("the key is gone already");
    if (!RegDeleteKeyTree(root, subKey)) Fail("the key or one of its subkeys cannot be deleted");
}

void UndoRun::UndoRegDefaultValue(std::uint32_t rootValue, const std::string& subKey) {
    const UniqueHKey key = OpenKey(RootKeyOfEntry(rootValue), subKey, KEY_SET_VALUE);
    if (!key) return Skip("the key is gone already");
    const wchar_t empty[] = L"";
    const LSTATUS status =
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof empty);
    if (status != ERROR_SUCCESS) Fail("the default value cannot be emptied: " + WindowsErrorText(status));
}

void UndoRun::UndoRegValue(std::uint32_t rootValue, const std::string& subKey, const std::string* valueName) {
    const HKEY root = RootKeyOfEntry(rootValue);
    DWORD subKeys = 0, values = 0;
    {
        const UniqueHKey key = OpenKey(root, subKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (!key) return Skip("the key is gone already");
        if (valueName && !RegHasValue(key.get(), *valueName)) {
            Skip("the value is gone already");
        } else if (valueName) {
            const LSTATUS status = RegDeleteValueW(key.get(), Widen(*valueName).c_str());
            if (status != ERROR_SUCCESS) Fail("the value cannot be deleted: " + WindowsErrorText(status));
        }
        const LSTATUS status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                &values, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return Fail("the key cannot be examined: " + WindowsErrorText(status));
    }
    // The key went only when nothing else was left in it.
    if (subKeys != 0 || values != 0) {
        // Of a value entry the value was what mattered; the key is a bonus.
        if (!valueName) Skip("the key stays: it holds values or subkeys");
        return;
    }
    // An application's value in the Run key goes; the key stays, if empty.
    if (IsProtectedKey(rootValue, subKey, TKeyChange::DeleteKey, source_)) return Skip("the key is the system's and stays");
    if (!RegDeleteKeyTree(root, subKey)) Fail("the empty key cannot be deleted");
}

}  // namespace qv
