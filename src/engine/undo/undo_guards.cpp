#include "engine/undo/undo_guards.h"

#include <shlobj.h>

#include "core/setupdata/records.h"
#include "core/text/path_strings.h"
#include "core/uninstall/undo_guard_rules.h"
#include "engine/common/folders.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/system_library.h"
#include "engine/common/win_text.h"
#include "engine/undo/rollback_entries.h"

namespace qv {

namespace {

// The shell's folders that no uninstall removes; CSIDL values, as old
// headers may lack some of the names.
constexpr int kProtectedShellFolders[] = {
    0x0002, 0x0005, 0x0007, 0x000b, 0x0010, 0x0014, 0x0016, 0x0017, 0x0018, 0x0019, 0x001a, 0x001c, 0x001d,
    0x001e, 0x0023, 0x0024, 0x0025, 0x0026, 0x0028, 0x0029, 0x002a, 0x002b, 0x002c, 0x002e,
};

const char* const kProtectedEnvironment[] = {
    "ProgramFiles",       "ProgramFiles(x86)", "ProgramW6432", "CommonProgramFiles", "CommonProgramFiles(x86)",
    "CommonProgramW6432", "USERPROFILE",       "SystemRoot",   "windir",             "ProgramData",
    "ALLUSERSPROFILE",    "PUBLIC",            "TEMP",         "TMP",
};

const char* const kProtectedCurrentVersionValues[] = {
    "ProgramFilesDir", "CommonFilesDir", "ProgramFilesDir (x86)", "CommonFilesDir (x86)", "ProgramW6432Dir",
    "CommonW6432Dir",
};

std::string PathFaultText(TPathFault fault) {
    switch (fault) {
    case TPathFault::NotFull: return "不是完整的路径";
    case TPathFault::DevicePrefix: return "路径带有设备前缀（如 \\\\?\\ 或 \\\\.\\）";
    case TPathFault::DotComponent: return "路径中含有 \".\" 或 \"..\"";
    case TPathFault::BadCharacter: return "路径中含有不允许的字符";
    case TPathFault::None: break;
    }
    return {};
}

std::string PathFaultReason(TPathFault fault) {
    switch (fault) {
    case TPathFault::NotFull: return "not a full path";
    case TPathFault::DevicePrefix: return "a device prefix";
    case TPathFault::DotComponent: return "a \".\" or \"..\" component";
    case TPathFault::BadCharacter: return "a character no path may hold";
    case TPathFault::None: break;
    }
    return {};
}

TRefusal RefusalOfKey(std::uint32_t root, const std::string& subKey, TKeyChange change, TEntrySource source) {
    // Another root is refused where the entry is undone (RootKeyOfEntry
    // raises): shown and counted as ever.
    if (!IsPredefinedRootKey(root)) return {};
    if (IsProtectedKey(root, subKey, change, source))
        return {"refused: a key of the system (" + RegistryRootName(root) + "\\" + subKey + ")",
                "这是系统的注册表键，没有改动"};
    return {};
}

// An INI file as the profile functions take it: "" is WIN.INI, a bare
// name a file of the Windows folder; anything else must be a path.
TRefusal RefusalOfIniFile(const std::string& iniFile, const TProtectedPlaces& places) {
    if (iniFile.empty()) return {};
    if (iniFile.find_first_of("\\/:") == std::string::npos) {
        if (iniFile.find_first_not_of(". ") == std::string::npos)
            return {"refused: " + PathFaultReason(TPathFault::DotComponent),
                    PathFaultText(TPathFault::DotComponent) + "，没有改动"};
        return {};
    }
    return RefusalOfPath(iniFile, places);
}

bool IsLinkEntry(DWORD attributes, DWORD tag) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    // Only a name surrogate (a junction, a symbolic link) leads elsewhere;
    // files kept in the cloud or deduplicated are reparse points too. Wine
    // reports a Unix link without a tag.
    return tag == 0 || (tag & 0x20000000u) != 0;
}

// A volume mounted in a folder is a reparse point too, but only an
// administrator mounts one: it is the machine's own layout, not a way out.
bool IsVolumeMountPoint(const std::string& path) {
    wchar_t volume[MAX_PATH + 1] = {};
    return system_library::GetVolumePathNameW(Widen(path).c_str(), volume, MAX_PATH + 1) &&
           SameTextAscii(StripBackslash(Narrow(volume)), StripBackslash(path));
}

// A reparse point that leads elsewhere, by the handle held on it (which
// shows what it is on Windows) and by its directory entry (which shows it
// under Wine).
bool IsNameSurrogate(const std::string& path, HANDLE held) {
    if (held) {
        BY_HANDLE_FILE_INFORMATION facts{};
        if (GetFileInformationByHandle(held, &facts) && (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            FILE_ATTRIBUTE_TAG_INFO tagInfo{};
            const DWORD tag = system_library::GetFileInformationByHandleEx(held, FileAttributeTagInfo, &tagInfo,
                                                                           sizeof tagInfo)
                                  ? tagInfo.ReparseTag
                                  : 0;
            if (IsLinkEntry(facts.dwFileAttributes, tag)) return true;
        }
    }
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(FindFirstFileW(Widen(path).c_str(), &found));
    return find && IsLinkEntry(found.dwFileAttributes, found.dwReserved0);
}

bool IsLink(const std::string& path, HANDLE held) { return IsNameSurrogate(path, held) && !IsVolumeMountPoint(path); }

}  // namespace

TProtectedPlaces::TProtectedPlaces() {
    std::vector<std::string> places = {WindowsFolder(), SystemFolder(), SystemWow64Folder(), TempFolder(),
                                       ProgramFilesFromRegistry(), CommonFilesFromRegistry()};
    for (const char* name : {"Sysnative", "SysWOW64", "System"}) places.push_back(WindowsFolder() + "\\" + name);
    for (int csidl : kProtectedShellFolders) places.push_back(ShellFolderPath(csidl));
    for (const char* name : kProtectedEnvironment) places.push_back(ReadEnvVar(name));
    for (const char* name : kProtectedCurrentVersionValues) places.push_back(CurrentVersionValue(name));
    {
        wchar_t temp[MAX_PATH + 1] = {};
        if (GetTempPathW(MAX_PATH + 1, temp) > 0) places.push_back(Narrow(temp));
    }
    for (const std::string& place : places) {
        if (!IsFullPath(place) || CheckUndoPath(place) != TPathFault::None) continue;
        folders_.push_back(ComparablePath(place));
        // The place and every folder that holds it, by what they are:
        // a short name or another spelling leads to the same folder.
        for (std::string folder = StripBackslashKeepRoot(place);;) {
            Identity identity{};
            if (IdentityOf(folder, identity)) identities_.push_back(identity);
            const std::string parent = StripBackslashKeepRoot(ExtractFileDir(folder));
            if (parent == folder || parent.empty() || IsDriveOrShareRoot(folder)) break;
            folder = parent;
        }
    }
}

bool TProtectedPlaces::IdentityOf(const std::string& path, Identity& identity) {
    const UniqueHFile file(CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!file || !GetFileInformationByHandle(file.get(), &facts)) return false;
    if (facts.nFileIndexHigh == 0 && facts.nFileIndexLow == 0) return false;  // no identity to compare
    identity = {facts.dwVolumeSerialNumber, facts.nFileIndexHigh, facts.nFileIndexLow};
    return true;
}

bool TProtectedPlaces::Holds(const std::string& path) const {
    if (IsDriveOrShareRoot(path)) return true;
    const std::string folder = ComparablePath(path);
    const std::string prefix = folder + "\\";
    for (const std::string& place : folders_)
        if (place == folder || place.compare(0, prefix.size(), prefix) == 0) return true;
    // Another spelling of a place (a short name): only a folder can be one,
    // and most entries are files, whose identity is not worth opening them.
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    Identity identity{};
    if (!IdentityOf(StripBackslashKeepRoot(path), identity)) return false;
    for (const Identity& known : identities_)
        if (known.Volume == identity.Volume && known.IndexHigh == identity.IndexHigh &&
            known.IndexLow == identity.IndexLow)
            return true;
    return false;
}

TRefusal RefusalOfPath(const std::string& path, const TProtectedPlaces& places) {
    if (const TPathFault fault = CheckUndoPath(path); fault != TPathFault::None)
        return {"refused: " + PathFaultReason(fault), PathFaultText(fault) + "，没有改动"};
    if (places.Holds(path))
        return {"refused: a folder of the system, or one that holds it", "这是系统的文件夹，没有改动"};
    return {};
}

TRefusal RefusalOfEntry(const TChangeEntry& entry, const TProtectedPlaces& places, TEntrySource source) {
    const auto text = [&](std::size_t index) { return EntryString(entry, index); };
    // A path that is not full is refused where the entry is undone
    // (RequireFullPath raises): shown and counted as ever.
    const auto file = [&](std::size_t index) {
        const std::string path = text(index);
        return CheckUndoPath(path) == TPathFault::NotFull ? TRefusal{} : RefusalOfPath(path, places);
    };
    switch (static_cast<unsigned>(entry.Kind)) {
    case ekFolder:
    case ekRemoveNewFolder:
    case ekRemoveNewFile: return file(0);
    case ekFile:
        if (TRefusal refusal = file(0)) return refusal;
        return text(1).empty() ? TRefusal{} : file(1);
    case ekRestoreFile:
        if (TRefusal refusal = file(0)) return refusal;
        return file(1);
    case ekIniKey:
    case ekIniSection: return RefusalOfIniFile(text(0), places);
    case ekRegKeyTree:
    case ekRegKeyIfEmpty:
    case ekRestoreKeyTree: return RefusalOfKey(entry.Flags, text(0), TKeyChange::DeleteKey, source);
    case ekRegDefaultValue: return RefusalOfKey(entry.Flags, text(0), TKeyChange::EmptyDefaultValue, source);
    case ekRegValue:
    case ekRestoreRegValue:
    case ekRemoveNewKey: return RefusalOfKey(entry.Flags, text(0), TKeyChange::ChangeValue, source);
    default: return {};
    }
}

TWayLock::TWayLock(const std::string& path, TWayCache* cache, bool pathItself) : cache_(cache) {
    if (!IsFullPath(path)) return;  // refused before it is acted on
    const std::string target = StripBackslashKeepRoot(path);
    // The folders from the drive (or share) down, then the path itself.
    std::vector<std::string> way;
    for (std::string folder = StripBackslashKeepRoot(ExtractFileDir(target));
         !folder.empty() && !IsDriveOrShareRoot(folder);) {
        way.insert(way.begin(), folder);
        const std::string parent = StripBackslashKeepRoot(ExtractFileDir(folder));
        if (parent == folder) break;
        folder = parent;
    }
    if (cache_) cache_->LetGo(target);
    for (const std::string& folder : way) {
        const std::string key = ComparablePath(folder);
        if (cache_) {
            if (const auto known = cache_->held_.find(key); known != cache_->held_.end()) {
                held_.push_back(known->second);
                continue;
            }
        }
        // Without delete sharing nobody can rename or remove the folder
        // while it is held, so the check below stays true until the end.
        UniqueHFile held(CreateFileW(Widen(folder).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
        if (!held) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                missing_ = true;
                return;
            }
            // Held by somebody with delete access, or not ours to open:
            // it is checked all the same, though not held.
        }
        if (IsLink(folder, held.get())) {
            refusal_ = {"refused: " + Quoted(folder) + " on its way is a link or junction, which is not followed",
                        "路径上的 " + folder + " 是链接或联接点，没有跟随"};
            return;
        }
        held_.push_back(std::make_shared<UniqueHFile>(std::move(held)));
        if (cache_ && *held_.back()) cache_->held_[key] = held_.back();
    }
    if (pathItself && IsLink(target, nullptr))
        refusal_ = {"refused: it is a link or junction now, which the installation did not make",
                    "它现在是链接或联接点，没有改动"};
}

void TWayCache::LetGo(const std::string& path) {
    const std::string key = ComparablePath(path);
    // "c:\a\b.x" sorts between "c:\a\b" and "c:\a\b\c": every name that
    // starts with the path is looked at.
    for (auto item = held_.lower_bound(key); item != held_.end() && item->first.compare(0, key.size(), key) == 0;) {
        const bool below = item->first.size() == key.size() || item->first[key.size()] == '\\';
        item = below ? held_.erase(item) : std::next(item);
    }
}

}  // namespace qv
