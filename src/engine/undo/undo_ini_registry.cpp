// Undoing INI entries and registry entries.
#include <windows.h>

#include "engine/common/ini_profile_cp936.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/undo/undo_run.h"
#include "engine/undo/undo_support.h"

namespace qv {

namespace {

UniqueHKey OpenKey(HKEY root, const std::string& subKey, REGSAM access) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
    return key;
}

}  // namespace

void UndoRun::UndoIniKey(const std::string& iniFile, const std::string& section, const std::string& key) {
    RemoveIniEntryCp936(section, &key, iniFile);
    if (IniSectionHasNoKeys(section, iniFile)) RemoveIniEntryCp936(section, nullptr, iniFile);
}

void UndoRun::UndoIniSection(const std::string& iniFile, const std::string& section) {
    RemoveIniEntryCp936(section, nullptr, iniFile);
}

// A key that does not open is gone already, or never was: nothing to undo.
// An empty subkey opens the root itself, which RegDeleteKeyTree refuses.

void UndoRun::UndoRegKeyTree(std::uint32_t rootValue, const std::string& subKey) {
    const HKEY root = RootKeyOfEntry(rootValue);
    if (!OpenKey(root, subKey, KEY_QUERY_VALUE)) return;
    if (!RegDeleteKeyTree(root, subKey)) Fail();
}

void UndoRun::UndoRegDefaultValue(std::uint32_t rootValue, const std::string& subKey) {
    const UniqueHKey key = OpenKey(RootKeyOfEntry(rootValue), subKey, KEY_SET_VALUE);
    if (!key) return;
    const wchar_t empty[] = L"";
    if (RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof empty) !=
        ERROR_SUCCESS)
        Fail();
}

void UndoRun::UndoRegValue(std::uint32_t rootValue, const std::string& subKey, const std::string* valueName) {
    const HKEY root = RootKeyOfEntry(rootValue);
    DWORD subKeys = 0, values = 0;
    {
        const UniqueHKey key = OpenKey(root, subKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (!key) return;
        if (valueName && RegHasValue(key.get(), *valueName) &&
            RegDeleteValueW(key.get(), Widen(*valueName).c_str()) != ERROR_SUCCESS)
            Fail();
        if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            Fail();
            return;
        }
    }
    // The key went only when nothing else was left in it.
    if (subKeys == 0 && values == 0 && !RegDeleteKeyTree(root, subKey)) Fail();
}

}  // namespace qv
