#include "engine/uninstall/recorded_log_hash.h"

#include <windows.h>

#include <set>

#include "core/text/command_line.h"
#include "core/text/path_strings.h"
#include "core/uninstall/undo_guard_rules.h"
#include "core/uninstall/uninstall_log_hash.h"
#include "core/uninstall/uninstaller_command_line.h"
#include "engine/common/full_path.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// The log file a command line of the uninstaller names; "" for any other.
std::string LogFileOf(const std::string& uninstallString) {
    const UninstallerCommandLine parsed = ParseUninstallerCommandLine(SplitParams(CommandLineTail(uninstallString)));
    if (!parsed.Problem.empty() || parsed.Options.LogFile.empty()) return {};
    return FullPathOf(parsed.Options.LogFile);
}

}  // namespace

std::vector<TRecordedLogHash> RecordedLogHashes(const std::string& logFile) {
    std::vector<TRecordedLogHash> found;
    std::set<std::string> seen;
    const std::string wanted = ComparablePath(logFile);
    // A 64-bit uninstaller must find a 32-bit installation's key and the
    // reverse; where there is one view, both flags name the same keys.
    // Windows before XP knows no views and may refuse the flags: the last
    // pass asks without one.
    for (const REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}, REGSAM{0}}) {
        UniqueHKey list;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(kUninstallListKey).c_str(), 0, KEY_ENUMERATE_SUB_KEYS | view,
                          list.put()) != ERROR_SUCCESS)
            continue;
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD length = 256;
            const LSTATUS status = RegEnumKeyExW(list.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) continue;  // a name too long for a key of ours
            UniqueHKey entry;
            if (RegOpenKeyExW(list.get(), name, 0, KEY_QUERY_VALUE | view, entry.put()) != ERROR_SUCCESS) continue;
            std::string command, hash;
            if (!RegReadString(entry.get(), "UninstallString", command) ||
                !RegReadString(entry.get(), kUninstallLogHashValue, hash))
                continue;
            const std::string named = LogFileOf(command);
            if (named.empty() || ComparablePath(named) != wanted) continue;
            // Where there is one view, both passes find the same key.
            if (!seen.insert(Narrow(name, length) + "\n" + hash).second) continue;
            std::string program;
            ExtractNextParam(command, 0, program);
            found.push_back({std::string(kUninstallListKey) + "\\" + Narrow(name, length) +
                                 (view == KEY_WOW64_32KEY ? " (32-bit view)" : ""),
                             hash, ExtractFileName(program)});
        }
    }
    return found;
}

}  // namespace qv
