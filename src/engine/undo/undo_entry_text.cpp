#include "engine/undo/undo_entry_text.h"

#include <cstdint>
#include <utility>

#include "engine/common/log_text.h"
#include "engine/undo/rollback_entries.h"
#include "core/text/number_text.h"

namespace qv {

namespace {

using FlagName = std::pair<std::uint32_t, const char*>;

std::string FlagsText(std::uint32_t flags, std::initializer_list<FlagName> names) {
    std::string text;
    for (const FlagName& name : names) {
        if (!(flags & name.first)) continue;
        text += (text.empty() ? "" : "|") + std::string(name.second);
        flags &= ~name.first;
    }
    // Bits of a later version are shown, not dropped.
    if (flags != 0) {
        text += std::string(text.empty() ? "" : "|") + "0x" + HexDigits(static_cast<unsigned>(flags));
    }
    return text.empty() ? std::string() : ", flags " + text;
}

std::string IniFileText(const std::string& file) { return file.empty() ? std::string("WIN.INI") : Quoted(file); }

std::string RegistryKeyText(const TChangeEntry& entry) {
    return RegistryRootName(entry.Flags) + "\\" + EntryString(entry, 0);
}

}  // namespace

std::string ChangeEntryText(const TChangeEntry& entry) {
    const std::string kind = ChangeKindName(entry.Kind);
    const auto text = [&](std::size_t index) { return EntryString(entry, index); };
    // The kinds of a rollback lie outside the enumeration of the file.
    switch (static_cast<unsigned>(entry.Kind)) {
    case ekFolder: return kind + " " + Quoted(text(0)) + FlagsText(entry.Flags, {{efFolderNotify, "efFolderNotify"}});
    case ekFile: {
        std::string result = kind + " " + Quoted(text(0));
        if (!text(1).empty()) result += ", waiting " + Quoted(text(1));
        return result + FlagsText(entry.Flags, {{efWasPresent, "efWasPresent"},
                                                {efUninstallOnly, "efUninstallOnly"},
                                                {efSharedCount, "efSharedCount"},
                                                {efSelfUnregister, "efSelfUnregister"},
                                                {efNotifyShell, "efNotifyShell"}});
    }
    case ekProgManItem:
        return text(1).empty() ? kind + " group " + Quoted(text(0))
                               : kind + " group " + Quoted(text(0)) + ", item " + Quoted(text(1));
    case ekIniKey: return kind + " " + IniFileText(text(0)) + " [" + text(1) + "] " + text(2);
    case ekIniSection: return kind + " " + IniFileText(text(0)) + " [" + text(1) + "]";
    case ekRegKeyTree:
    case ekRegDefaultValue:
    case ekRegKeyIfEmpty: return kind + " " + RegistryKeyText(entry);
    case ekRegValue:
        return kind + " " + RegistryKeyText(entry) + ", value " + (text(1).empty() ? "(default)" : Quoted(text(1)));
    // Kept for a rollback only.
    case ekRestoreFile: return "restore " + Quoted(text(0)) + " from " + Quoted(text(1));
    case ekRemoveNewFile: return "remove the new file " + Quoted(text(0));
    case ekRestoreRegValue:
        return "restore " + RegistryKeyText(entry) + ", value " + (text(1).empty() ? "(default)" : Quoted(text(1))) +
               (text(2) == "1" ? " to its earlier type " + text(3) + " and data" : ": there was none");
    case ekRemoveNewKey: return "remove the new key " + RegistryKeyText(entry) + " when empty";
    case ekRemoveNewFolder: return "remove the new folder " + Quoted(text(0)) + " when empty";
    case ekRestoreKeyTree: return "restore the deleted key " + RegistryKeyText(entry);
    default: return kind + FlagsText(entry.Flags, {});
    }
}

}  // namespace qv
