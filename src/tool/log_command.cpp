#include "tool/log_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "core/uninstall/uninstall_log.h"
#include "tool/platform.h"
#include "tool/record_names.h"
#include "tool/tool_errors.h"

namespace qv::tool {

using Json = nlohmann::ordered_json;

namespace {

std::string Hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

// The full names, as an administrator meets them in the registry editor.
const NameTable& RootKeyNames() {
    static const NameTable names = {{"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
                                    {"HKEY_CURRENT_USER", kHkeyCurrentUser},
                                    {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
                                    {"HKEY_USERS", kHkeyUsers},
                                    {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig}};
    return names;
}

const NameTable& FolderChangeFlagNames() {
    static const NameTable names = {{"efFolderNotify", efFolderNotify}};
    return names;
}

const NameTable& FileChangeFlagNames() {
    static const NameTable names = {{"efWasPresent", efWasPresent},
                                    {"efUninstallOnly", efUninstallOnly},
                                    {"efSharedCount", efSharedCount},
                                    {"efSelfUnregister", efSelfUnregister},
                                    {"efNotifyShell", efNotifyShell}};
    return names;
}

bool IsKnownKind(TChangeKind kind) { return kind <= kLastChangeKind; }
bool IsRegistryKind(TChangeKind kind) { return kind >= ekRegKeyTree && kind <= ekRegValue; }

// The flag bits of the kinds whose Flags are bits; null for the others.
const NameTable* FlagNamesOf(TChangeKind kind) {
    switch (kind) {
    case ekFolder: return &FolderChangeFlagNames();
    case ekFile: return &FileChangeFlagNames();
    default: return nullptr;
    }
}

// What each string of a kind means, in order.
std::vector<std::string> StringLabels(TChangeKind kind) {
    switch (kind) {
    case ekFolder: return {"folder"};
    case ekFile: return {"file", "pending file"};
    case ekProgManItem: return {"group", "item"};
    case ekIniKey: return {"INI file", "section", "key"};
    case ekIniSection: return {"INI file", "section"};
    case ekRegKeyTree:
    case ekRegDefaultValue:
    case ekRegKeyIfEmpty: return {"subkey"};
    case ekRegValue: return {"subkey", "value name"};
    }
    return {};
}

std::string StringLabel(TChangeKind kind, std::size_t index) {
    if (!IsKnownKind(kind)) return "string";
    const std::vector<std::string> labels = StringLabels(kind);
    return index < labels.size() ? labels[index] : "unused";
}

// Every string the data holds, in order, with the unterminated last string
// of a cut entry. One pass: a log may hold tens of thousands of empty strings.
std::vector<std::string> StringsOf(const std::string& data) {
    std::vector<std::string> strings;
    std::size_t start = 0;
    while (start < data.size()) {
        const std::size_t zero = data.find('\0', start);
        if (zero == std::string::npos) {
            strings.push_back(data.substr(start));
            break;
        }
        strings.push_back(data.substr(start, zero - start));
        start = zero + 1;
    }
    return strings;
}

// The flags as text: bit names and the unnamed rest in hex, or the root key
// by name; nothing for no flags.
std::string FlagsText(const TChangeEntry& entry) {
    if (IsRegistryKind(entry.Kind)) {
        const auto name = NameOfValue(RootKeyNames(), entry.Flags);
        return name ? *name : Hex(entry.Flags);
    }
    std::string text;
    std::uint32_t unnamed = entry.Flags;
    if (const NameTable* names = FlagNamesOf(entry.Kind)) {
        for (const auto& name : NamesOfBits(*names, entry.Flags)) text += (text.empty() ? "" : " ") + name;
        for (const auto& flag : *names) unnamed &= ~flag.Value;
    }
    if (unnamed != 0) text += (text.empty() ? "" : " ") + Hex(unnamed);
    return text;
}

Json EntryJson(const LoggedChange& change) {
    const TChangeEntry& entry = change.Entry;
    Json j;
    j["offset"] = change.Offset;
    j["kind"] = IsKnownKind(entry.Kind) ? Json(ChangeKindName(entry.Kind)) : Json(nullptr);
    if (IsRegistryKind(entry.Kind)) {
        const auto name = NameOfValue(RootKeyNames(), entry.Flags);
        j["root"] = name ? Json(*name) : Json(nullptr);
    } else if (const NameTable* names = FlagNamesOf(entry.Kind)) {
        j["flags"] = NamesOfBits(*names, entry.Flags);
    }
    j["strings"] = StringsOf(entry.StringData);
    j["cut"] = change.DataCut;
    j["raw"] = {{"kind", static_cast<unsigned>(entry.Kind)}, {"flags", Hex(entry.Flags)}};
    return j;
}

Json LogListing(const UninstallLog& log, const std::string& path, std::uint64_t fileSize) {
    Json j;
    j["uninstall_log"] = {{"path", path}, {"size", fileSize}};
    j["header"] = {{"app_name", log.Header.AppName},
                   {"admin_install", log.Header.AdminInstall},
                   {"entry_count", log.Header.EntryCount}};
    Json entries = Json::array();
    for (const auto& change : log.Entries) entries.push_back(EntryJson(change));
    j["entries"] = entries;
    return j;
}

void PrintEntryText(std::size_t number, const LoggedChange& change, std::ostream& out) {
    const TChangeEntry& entry = change.Entry;
    out << "  #" << number << " at " << change.Offset << ": " << ChangeKindName(entry.Kind);
    const std::string flags = FlagsText(entry);
    if (!flags.empty()) out << " " << flags;
    if (!IsKnownKind(entry.Kind)) out << " (a kind this system does not know: the uninstaller skips it)";
    if (change.DataCut)
        out << " (its strings were cut at " << TChangeEntry::kMaxDataLength
            << " bytes: an uninstaller must not act on it)";
    out << "\n";
    const std::vector<std::string> strings = StringsOf(entry.StringData);
    for (std::size_t i = 0; i < strings.size(); ++i) {
        out << "    " << StringLabel(entry.Kind, i) << ":";
        if (!strings[i].empty()) out << " " << strings[i];
        out << "\n";
    }
}

void PrintLogText(const UninstallLog& log, const std::string& path, std::uint64_t fileSize, std::ostream& out) {
    out << "uninstall_log: " << path << " (" << fileSize << " bytes)\n";
    out << "app_name: " << log.Header.AppName << "\n";
    out << "admin_install: " << (log.Header.AdminInstall ? "true" : "false") << "\n";
    out << "entries (" << log.Entries.size() << ")" << (log.Entries.empty() ? "" : ":") << "\n";
    for (std::size_t i = 0; i < log.Entries.size(); ++i) PrintEntryText(i + 1, log.Entries[i], out);
}

std::unique_ptr<FileInStream> OpenLog(const std::string& path) {
    std::error_code ignored;
    const auto status = fs::status(PathFromUtf8(path), ignored);
    if (status.type() == fs::file_type::not_found) throw IoFailure("cannot open '" + path + "': it does not exist");
    if (fs::is_directory(status))
        throw IoFailure("cannot open '" + path + "': it is a folder, not an uninstall log");
    try {
        return std::make_unique<FileInStream>(path);
    } catch (const EInOutError& error) {
        throw IoFailure("cannot open '" + path + "': " + error.what());
    }
}

}  // namespace

void RunLog(const std::string& path, bool json, std::ostream& out) {
    const auto in = OpenLog(path);
    UninstallLog log;
    try {
        log = ReadUninstallLog(*in);
    } catch (const EUninstallLogDamaged& error) {
        throw DamagedData(path + ": " + error.what());
    } catch (const EInOutError& error) {
        throw IoFailure("cannot read '" + path + "': " + error.what());
    }
    if (json) out << LogListing(log, path, in->Size()).dump(2) << "\n";
    else PrintLogText(log, path, in->Size(), out);
}

}  // namespace qv::tool
