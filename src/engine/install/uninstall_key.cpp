#include "engine/install/uninstall_key.h"

#include <cstdint>
#include <vector>

#include "core/setup/deployment_values.h"
#include "core/text/path_strings.h"
#include "core/uninstall/uninstall_log_hash.h"
#include "engine/common/own_machine.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/install/rollback_keeping.h"
#include "engine/common/windows_version.h"
#include "engine/install/registry_entries.h"
#include "engine/install/uninstall_log_file.h"

namespace qv {

const char kUninstallParentKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string UninstallKeyName(const TInstallContext& context, int n) {
    return FormatText("%s_qv%d", {context.Run.Data.SetupInfo.AppNameVersion, n});
}

std::string UninstallCommandLine(const TInstallContext& context) {
    return FormatText("\"%s\" /U \"%s\" \"%s\"", {AppendBackslash(context.Run.Folders.Win) + OwnUninstallerFileName(),
                                                   UninstallLogName(context.UninstallLogPattern, '0'),
                                                   UninstallLogName(context.UninstallLogPattern, '1')});
}

namespace {

bool SubKeyExists(HKEY parent, const std::string& name) {
    UniqueHKey key;
    return RegOpenKeyExW(parent, Widen(name).c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

bool RegWriteDWord(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number) ==
           ERROR_SUCCESS;
}

// The installed size the list of programs shows, in KiB: the files the
// setup brings, without those deleted when the setup ends.
DWORD EstimatedSizeKiB(const std::vector<TFileRec>& files) {
    std::uint64_t bytes = 0;
    for (const TFileRec& file : files)
        if (!(file.FileFlags & ffDeleteAtEnd) && file.OriginalSize > 0)
            bytes += static_cast<std::uint32_t>(file.OriginalSize);
    return static_cast<DWORD>((bytes + 1023) / 1024);
}

// The values beyond the two the uninstaller needs, for today's list of
// installed programs; only what this installation knows for certain. The
// uninstaller can neither change nor repair an installation.
bool WriteListValues(HKEY key, const TInstallContext& context) {
    return RegWriteString(key, "InstallLocation", REG_SZ, context.Run.Folders.App) &&
           RegWriteDWord(key, L"NoModify", 1) && RegWriteDWord(key, L"NoRepair", 1) &&
           RegWriteDWord(key, L"EstimatedSize", EstimatedSizeKiB(context.Run.Data.FileRecords));
}

// What deployment tools read: the command that removes the application
// without a word, the version they compare, and the icon the list shows.
bool WriteDeploymentValues(HKEY key, const TInstallContext& context) {
    const TSetupHeaderRec& header = context.Run.Data.SetupInfo;
    if (!RegWriteString(key, "QuietUninstallString", REG_SZ, QuietUninstallCommandLine(UninstallCommandLine(context))))
        return false;
    if (const auto version = DisplayVersionOf(header.AppName, header.AppNameVersion))
        if (!RegWriteString(key, "DisplayVersion", REG_SZ, *version)) return false;
    if (const TIconRec* icon = FirstGroupIcon(context.Run.Data.IconRecords)) {
        std::string target;
        try {
            target = context.Run.Expand(icon->Filename);
        } catch (const Exception&) {
            return true;  // the icons step reports a target that cannot be expanded
        }
        if (!RegWriteString(key, "DisplayIcon", REG_SZ, target)) return false;
    }
    return true;
}

}  // namespace

bool WriteUninstallKey(TInstallContext& context) {
    if (GetWindowsVersion().Major() < 4) {
        LogLine("no uninstall key: Windows before version 4 has no list of installed programs");
        return false;
    }
    const HKEY machine = PredefinedRootKey(kHkeyLocalMachine);
    UniqueHKey parent;
    const LSTATUS status = RegCreateKeyExW(machine, Widen(kUninstallParentKey).c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE, nullptr, parent.put(), nullptr);
    if (status != ERROR_SUCCESS) {
        LogLine("no uninstall key: HKEY_LOCAL_MACHINE\\" + std::string(kUninstallParentKey) + " does not open (" +
                WindowsErrorText(status) + ")");
        return false;
    }

    const bool replace = context.Run.Data.SetupInfo.Has(optReplaceUninstallEntries);
    int n = 1;
    for (; SubKeyExists(parent.get(), UninstallKeyName(context, n)); ++n) {
        if (!replace) continue;
        KeepKeyTreeForRollback(context, kHkeyLocalMachine,
                               std::string(kUninstallParentKey) + "\\" + UninstallKeyName(context, n));
        const bool deleted = RegDeleteKeyTree(parent.get(), UninstallKeyName(context, n));
        LogLine(std::string(deleted ? "deleted" : "could not delete") + " the earlier uninstall key " +
                Quoted(UninstallKeyName(context, n)) + ", as the setup replaces its entries");
    }
    const std::string name = UninstallKeyName(context, replace ? 1 : n);
    const std::string full = std::string(kUninstallParentKey) + "\\" + name;

    {
        UniqueHKey key;
        WriteAhead(context, journal::RegKeyWasAbsent{kHkeyLocalMachine, full, journal::jfWholeTree});
        // A user without administrator rights may read the list but not add
        // to it: then the program gets no entry there, as when the list
        // itself is missing, and the uninstall icon is its way out.
        const LSTATUS created = RegCreateKeyExW(parent.get(), Widen(name).c_str(), 0, nullptr,
                                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(), nullptr);
        if (created != ERROR_SUCCESS) {
            LogLine("no uninstall key: HKEY_LOCAL_MACHINE\\" + full + " cannot be created (" +
                    WindowsErrorText(created) + ")");
            return false;
        }
        // Recorded before the values: a value that fails still leaves a key
        // behind, which the rollback must take away.
        context.UndoLog.AddEntry(ekRegKeyTree, {full}, kHkeyLocalMachine);
        context.UninstallKeyPath = full;
        if (!RegWriteString(key.get(), "DisplayName", REG_SZ, context.Run.Data.SetupInfo.AppNameVersion) ||
            !RegWriteString(key.get(), "UninstallString", REG_SZ, UninstallCommandLine(context)) ||
            !WriteListValues(key.get(), context) || !WriteDeploymentValues(key.get(), context))
            throw Exception(FormatText("写注册表出错: %s", {full}));
        LogLine("wrote uninstall key HKEY_LOCAL_MACHINE\\" + full + ": DisplayName " +
                Quoted(context.Run.Data.SetupInfo.AppNameVersion) + ", UninstallString " +
                Quoted(UninstallCommandLine(context)));
    }
    return true;
}

void WriteUninstallLogHash(const TInstallContext& context) {
    if (context.UninstallKeyPath.empty() || context.UninstallLogHash.empty()) return;
    const std::string& hash = context.UninstallLogHash;
    UniqueHKey key;
    if (RegOpenKeyExW(PredefinedRootKey(kHkeyLocalMachine), Widen(context.UninstallKeyPath).c_str(), 0, KEY_SET_VALUE,
                      key.put()) != ERROR_SUCCESS ||
        !RegWriteString(key.get(), kUninstallLogHashValue, REG_SZ, hash))
        throw Exception(FormatText("写注册表出错: %s", {context.UninstallKeyPath}));
    LogLine("recorded the uninstall log's SHA-256 " + hash + " in HKEY_LOCAL_MACHINE\\" + context.UninstallKeyPath);
}

}  // namespace qv
