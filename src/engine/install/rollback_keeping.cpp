#include "engine/install/rollback_keeping.h"

#include <cstdio>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/registry.h"
#include "engine/common/system_library.h"
#include "engine/common/unique_name.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/install/registry_entries.h"
#include "engine/instfunc/shared_file_count.h"
#include "engine/journal/journal_undo.h"
#include "engine/undo/rollback_entries.h"

namespace qv {

namespace {

bool InUse(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The volume (its mount point) that holds `path`, as Windows names it.
std::wstring VolumeOf(const std::string& path) {
    wchar_t volume[MAX_PATH + 1] = {};
    if (!system_library::GetVolumePathNameW(Widen(path).c_str(), volume, MAX_PATH + 1))
        return Widen(path.substr(0, 3));
    return volume;
}

// Whether a move from `path` into `folder` is a rename, not a copy.
bool SameVolume(const std::string& path, const std::string& folder) {
    return _wcsicmp(VolumeOf(path).c_str(), VolumeOf(folder).c_str()) == 0;
}

// A copy needs room beside the installation's own files.
void RequireRoomFor(const std::string& folder, std::uint64_t size, const std::string& path) {
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(Widen(AppendBackslash(folder)).c_str(), &available, nullptr, nullptr) &&
        available.QuadPart >= size)
        return;
    LogLine("no room in " + Quoted(folder) + " for the backup of " + Quoted(path) + " (" + std::to_string(size) +
            " bytes)");
    throw Exception(FormatText("没有足够的磁盘空间保存被替换文件的备份，因此不能替换文件：\r\n%s", {path}));
}

// A copy that stands for a backup is on the disk before its record names it.
// A copy keeps the original's read-only attribute, which a flush must pass.
void FlushCopy(const TInstallContext& context, const std::string& backup) {
    if (!context.Journal) return;
    const std::wstring wide = Widen(backup);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DWORD error = ERROR_SUCCESS;
    {
        const UniqueHFile file(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !FlushFileBuffers(file.get())) error = GetLastError();
    }
    if (readOnly) SetFileAttributesW(wide.c_str(), attributes);
    if (error != ERROR_SUCCESS) throw EInOutError(InOutCodeFromWin32(error));
}

std::string CopyAside(const std::string& folder, const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& facts) {
    const std::uint64_t size = (std::uint64_t{facts.nFileSizeHigh} << 32) | facts.nFileSizeLow;
    RequireRoomFor(folder, size, path);
    const std::string backup = MakeUniqueName(folder, ".bak");
    if (!CopyFileW(Widen(path).c_str(), Widen(backup).c_str(), TRUE)) RaiseLastInOutError();
    return backup;
}

std::uint64_t TimeValue(const FILETIME& t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

// On the disk before the file leaves its place: a move aside (the backup
// named before it exists), or, for a copy, once the copy is whole.
void WriteAheadMovedAside(TInstallContext& context, const std::string& path, const std::string& backup,
                          const WIN32_FILE_ATTRIBUTE_DATA& facts) {
    WriteAhead(context, journal::FileMovedAside{path, backup, facts.dwFileAttributes, TimeValue(facts.ftCreationTime),
                                                TimeValue(facts.ftLastWriteTime),
                                                (std::uint64_t{facts.nFileSizeHigh} << 32) | facts.nFileSizeLow});
}

journal::RegValueData ValueBefore(HKEY root, const std::string& subKey, const std::string& name) {
    UniqueHKey key;
    TRegRawValue raw;
    journal::RegValueData before;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
        RegReadRawValue(key.get(), name, raw) == ERROR_SUCCESS) {
        before.Existed = true;
        before.Type = raw.Type;
        before.Data.assign(raw.Data.begin(), raw.Data.end());
    }
    return before;
}

// The move or copy aside is a change of its own, which the journal's fact
// written ahead undoes.
void Record(TInstallContext& context) { context.UndoLog.CountJournalOnlyChange(); }

}  // namespace

bool ClearForReplacement(TInstallContext& context, const std::string& path, DWORD& error) {
    const std::string& folder = context.Run.BackupFolder;
    const std::wstring widePath = Widen(path);
    if (folder.empty()) {
        if (DeleteFileW(widePath.c_str())) return true;
        error = GetLastError();
        if (InUse(error)) return false;
        throw EInOutError(InOutCodeFromWin32(error));
    }
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &facts)) RaiseLastInOutError();
    if (SameVolume(path, folder)) {
        const std::string backup = MakeUniqueName(folder, ".bak");
        WriteAheadMovedAside(context, path, backup, facts);
        if (MoveFileW(widePath.c_str(), Widen(backup).c_str())) {
            Record(context);
            LogLine("moved the existing file " + Quoted(path) + " aside to " + Quoted(backup) + ", for a rollback");
            return true;
        }
        error = GetLastError();
        if (InUse(error)) return false;
        if (error != ERROR_NOT_SAME_DEVICE) throw EInOutError(InOutCodeFromWin32(error));
    }
    // Another drive: a copy, once the room for it is known, and then the
    // file itself goes.
    const std::string backup = CopyAside(folder, path, facts);
    FlushCopy(context, backup);
    WriteAheadMovedAside(context, path, backup, facts);
    if (!DeleteFileW(widePath.c_str())) {
        error = GetLastError();
        DeleteFileW(Widen(backup).c_str());
        if (InUse(error)) return false;
        throw EInOutError(InOutCodeFromWin32(error));
    }
    Record(context);
    LogLine("copied the existing file " + Quoted(path) + " to " + Quoted(backup) + ", for a rollback");
    return true;
}

void KeepCopyForRollback(TInstallContext& context, const std::string& path) {
    const std::string& folder = context.Run.BackupFolder;
    if (folder.empty()) return;
    for (const std::string& kept : context.KeptForRollback)
        if (SameTextAscii(kept, path)) return;
    context.KeptForRollback.push_back(path);
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &facts)) {
        WriteAhead(context, journal::FileWasAbsent{path, 0});
        Record(context);
        return;
    }
    // The profile functions may hold changes of this run in a cache.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(path).c_str());
    const std::string backup = CopyAside(folder, path, facts);
    FlushCopy(context, backup);
    WriteAheadMovedAside(context, path, backup, facts);
    Record(context);
    LogLine("copied " + Quoted(path) + " to " + Quoted(backup) + " before changing it, for a rollback");
}

void KeepRegValueForRollback(TInstallContext& context, std::uint32_t root, const std::string& subKey,
                             const std::string& name) {
    if (context.Run.BackupFolder.empty()) return;
    const journal::RegValueData before = ValueBefore(PredefinedRootKey(root), subKey, name);
    WriteAhead(context, journal::RegValueBefore{root, subKey, name, before});
    Record(context);
}

TKeyCreation::TKeyCreation(std::uint32_t root, const std::string& subKey) : root_(root) {
    // From the key outwards to the first level that is there.
    for (std::string level = subKey; !level.empty();) {
        UniqueHKey key;
        if (RegOpenKeyExW(PredefinedRootKey(root), Widen(level).c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) break;
        missing_.insert(missing_.begin(), level);
        const std::size_t slash = level.find_last_of('\\');
        level = slash == std::string::npos ? std::string() : level.substr(0, slash);
    }
}

std::vector<std::string> TKeyCreation::MissingParents() const {
    if (missing_.empty()) return {};
    return {missing_.begin(), missing_.end() - 1};
}

void TKeyCreation::WriteAhead(TInstallContext& context) const {
    if (!context.Journal || context.Run.BackupFolder.empty() || missing_.empty()) return;
    // Outermost first, so that the rollback, newest first, removes the
    // innermost first.
    std::vector<journal::JournalFact> facts;
    for (const std::string& level : missing_) facts.push_back(journal::RegKeyWasAbsent{root_, level, 0});
    context.Journal->WriteAhead(facts);
}

void TKeyCreation::RecordCreatedKeys(TInstallContext& context) const {
    if (context.Run.BackupFolder.empty()) return;
    for (std::size_t i = 0; i < missing_.size(); ++i) Record(context);
}

void KeepKeyTreeForRollback(TInstallContext& context, std::uint32_t root, const std::string& subKey) {
    if (context.Run.BackupFolder.empty()) return;
    const std::string tree = KeyTreeText(PredefinedRootKey(root), subKey);
    if (tree.empty()) return;
    WriteAhead(context, journal::RegKeyTreeBefore{root, subKey, RegTreeOfText(tree)});
    Record(context);
}

void KeepSharedCountForRollback(TInstallContext& context, const std::string& path) {
    if (!context.Journal || context.Run.BackupFolder.empty()) return;
    WriteAhead(context, journal::SharedCountRaised{path, ValueBefore(HKEY_LOCAL_MACHINE, kSharedDllsKeyPath, path)});
}

}  // namespace qv
