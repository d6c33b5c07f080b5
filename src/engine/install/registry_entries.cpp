#include "engine/install/registry_entries.h"

#include "core/errors.h"
#include "core/uninstall/undo_guard_rules.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/registry.h"
#include "engine/common/retry_question.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/install/rollback_keeping.h"

namespace qv {

HKEY PredefinedRootKey(std::uint32_t value) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

bool RegWriteString(HKEY key, const std::string& name, DWORD type, const std::string& text) {
    const std::wstring wide = Widen(text);
    const DWORD size = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name.empty() ? nullptr : Widen(name).c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(wide.c_str()), size) == ERROR_SUCCESS;
}

namespace {

bool WriteValue(HKEY key, const TRegistryRec& record, const std::string& valueName, const TInstallRun& run) {
    const std::wstring wideName = Widen(valueName);
    const wchar_t* name = valueName.empty() ? nullptr : wideName.c_str();
    switch (record.ValueType) {
    case rtString: return RegWriteString(key, valueName, REG_SZ, run.Expand(record.ValueString));
    case rtExpandString: return RegWriteString(key, valueName, REG_EXPAND_SZ, run.Expand(record.ValueString));
    case rtDWord: {
        const DWORD number = record.ValueDWord;
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number) ==
               ERROR_SUCCESS;
    }
    case rtBinary: {
        // A length of 0 still writes the value, with no data.
        const BYTE none = 0;
        const BYTE* data = record.ValueBinary.empty() ? &none : record.ValueBinary.data();
        return RegSetValueExW(key, name, 0, REG_BINARY, data, static_cast<DWORD>(record.ValueBinary.size())) ==
               ERROR_SUCCESS;
    }
    default: return true;  // only the key
    }
}

// What the record writes, for the log: `REG_SZ "text"`, `REG_DWORD 5`.
std::string ValueText(const TRegistryRec& record, const TInstallRun& run) {
    switch (record.ValueType) {
    case rtString: return "REG_SZ " + Quoted(run.Expand(record.ValueString));
    case rtExpandString: return "REG_EXPAND_SZ " + Quoted(run.Expand(record.ValueString));
    case rtDWord: return "REG_DWORD " + std::to_string(record.ValueDWord);
    case rtBinary: return "REG_BINARY of " + std::to_string(record.ValueBinary.size()) + " bytes";
    default: return "no value";
    }
}

// The entry's sub key for the log: expanded, or as the setup data holds it
// when that is what failed.
std::string SubKeyText(const TInstallContext& context, const TRegistryRec& record) {
    try {
        return context.Run.Expand(record.SubKey);
    } catch (const Exception&) {
        return record.SubKey;
    }
}

// The keys above `record`'s key that this attempt created, for the
// uninstaller: each is removed when it is empty by then, deepest first, as
// the created folders are. Recorded before the key's own entry, which the
// uninstaller undoes first. Only where the key itself goes at uninstall:
// above a key that stays they are never empty. The system's keys stay out,
// whoever made them.
void RecordCreatedParents(TInstallContext& context, const TRegistryRec& record, const TKeyCreation& creation) {
    for (const std::string& parent : creation.MissingParents()) {
        if (IsProtectedKey(record.RootKey, parent, TKeyChange::DeleteKey, TEntrySource::CheckedLog)) continue;
        LogLine("created registry key " + RegistryRootName(record.RootKey) + "\\" + parent +
                ", removed at uninstall when empty");
        context.UndoLog.AddEntry(ekRegKeyIfEmpty, {parent}, record.RootKey);
    }
}

// One attempt at `record`: the key, the value, the undo entry. Raises the
// system's texts.
void WriteRegistryEntry(TInstallContext& context, const TRegistryRec& record) {
    const TInstallRun& run = context.Run;
    const std::string subKey = run.Expand(record.SubKey);
    const std::string valueName = run.Expand(record.ValueName);
    const std::string keyText = RegistryRootName(record.RootKey) + "\\" + subKey;
    const std::string valueText = (valueName.empty() ? std::string("(default)") : Quoted(valueName));
    const TKeyCreation creation(record.RootKey, subKey);
    creation.WriteAhead(context);
    {
        UniqueHKey key;
        const LSTATUS status =
            RegCreateKeyExW(PredefinedRootKey(record.RootKey), Widen(subKey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (status != ERROR_SUCCESS) {
            LogLine("cannot create registry key " + keyText + ": " + WindowsErrorText(status));
            throw Exception(FormatText("创建注册表出错: %s", {subKey}));
        }
        creation.RecordCreatedKeys(context);
        const bool keep = record.ValueType != rtNone && (record.Flags & rfKeepExistingValue) &&
                          RegHasValue(key.get(), valueName);
        if (!keep && record.ValueType != rtNone) KeepRegValueForRollback(context, record.RootKey, subKey, valueName);
        if (!keep && !WriteValue(key.get(), record, valueName, run))
            throw Exception(FormatText("写注册表出错: %s", {subKey}));
        if (record.ValueType == rtNone)
            LogLine("created registry key " + keyText);
        else if (keep)
            LogLine("kept registry value " + keyText + " " + valueText + ": it exists, and the entry keeps it");
        else
            LogLine("wrote registry value " + keyText + " " + valueText + " = " + ValueText(record, run));
    }
    TChangeKind kind;
    std::vector<std::string> strings{subKey};
    if (record.Flags & rfUninstDeleteValue) {
        kind = record.ValueType == rtNone ? ekRegKeyIfEmpty : ekRegValue;
        if (kind == ekRegValue) strings.push_back(valueName);
    } else if (record.Flags & rfUninstDeleteKey) {
        kind = ekRegKeyTree;
    } else if (record.Flags & rfUninstEmptyDefault) {
        kind = ekRegDefaultValue;
    } else {
        return;
    }
    if (kind != ekRegDefaultValue) RecordCreatedParents(context, record, creation);
    context.UndoLog.AddEntry(kind, strings, record.RootKey);
}

}  // namespace

void WriteRegistryEntries(TInstallContext& context) {
    for (const TRegistryRec& record : context.Run.Data.RegistryRecords) {
        for (;;) {
            try {
                WriteRegistryEntry(context, record);
                break;
            } catch (const EAbort&) {
                throw;
            } catch (const Exception& error) {
                LogLine("registry entry " + RegistryRootName(record.RootKey) + "\\" + SubKeyText(context, record) +
                        " failed: " + CurrentExceptionText());
                const std::string text = std::string(error.what()) + ".\r\n\r\n" +
                                         "按<重试>重试，<忽略>跳过此项，或<取消>以取消安装。";
                if (AskRetryIgnoreAbort(text, "", MB_DEFBUTTON2, {"", "skipped the registry entry after the error"}) ==
                    TRetryAnswer::Ignore)
                    break;
            }
        }
    }
    context.Progress.Advance(1000);
}

}  // namespace qv
