#include "engine/install/rollback_keeping.h"

#include <cstdio>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/registry.h"
#include "engine/common/unique_name.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/install/registry_entries.h"
#include "engine/undo/rollback_entries.h"

namespace qv {

namespace {

// "attributes creation-time write-time": what a copy does not carry along.
std::string FileFacts(const WIN32_FILE_ATTRIBUTE_DATA& facts) {
    const auto value = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    char text[64];
    std::snprintf(text, sizeof text, "%lx %llx %llx", static_cast<unsigned long>(facts.dwFileAttributes),
                  value(facts.ftCreationTime), value(facts.ftLastWriteTime));
    return text;
}

bool InUse(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The volume (its mount point) that holds `path`, as Windows names it.
std::wstring VolumeOf(const std::string& path) {
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(Widen(path).c_str(), volume, MAX_PATH + 1)) return Widen(path.substr(0, 3));
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

std::string CopyAside(const std::string& folder, const std::string& path, const WIN32_FILE_ATTRIBUTE_DATA& facts) {
    const std::uint64_t size = (std::uint64_t{facts.nFileSizeHigh} << 32) | facts.nFileSizeLow;
    RequireRoomFor(folder, size, path);
    const std::string backup = MakeUniqueName(folder, ".bak");
    if (!CopyFileW(Widen(path).c_str(), Widen(backup).c_str(), TRUE)) RaiseLastInOutError();
    return backup;
}

void Record(TInstallContext& context, const std::string& path, const std::string& backup,
            const WIN32_FILE_ATTRIBUTE_DATA& facts) {
    context.UndoLog.AddEntry(ekRestoreFile, {path, backup, FileFacts(facts)}, 0);
}

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
        if (MoveFileW(widePath.c_str(), Widen(backup).c_str())) {
            Record(context, path, backup, facts);
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
    if (!DeleteFileW(widePath.c_str())) {
        error = GetLastError();
        DeleteFileW(Widen(backup).c_str());
        if (InUse(error)) return false;
        throw EInOutError(InOutCodeFromWin32(error));
    }
    Record(context, path, backup, facts);
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
        context.UndoLog.AddEntry(ekRemoveNewFile, {path}, 0);
        return;
    }
    // The profile functions may hold changes of this run in a cache.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(path).c_str());
    const std::string backup = CopyAside(folder, path, facts);
    Record(context, path, backup, facts);
    LogLine("copied " + Quoted(path) + " to " + Quoted(backup) + " before changing it, for a rollback");
}

void KeepRegValueForRollback(TInstallContext& context, std::uint32_t root, const std::string& subKey,
                             const std::string& name) {
    if (context.Run.BackupFolder.empty()) return;
    UniqueHKey key;
    DWORD type = 0, size = 0;
    const std::wstring wideName = Widen(name);
    const wchar_t* valueName = name.empty() ? nullptr : wideName.c_str();
    std::string data;
    bool existed = false;
    if (RegOpenKeyExW(PredefinedRootKey(root), Widen(subKey).c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
        RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        existed = RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                   &size) == ERROR_SUCCESS;
        data.resize(size);
    }
    context.UndoLog.AddEntry(ekRestoreRegValue,
                             {subKey, name, existed ? "1" : "0", std::to_string(type), HexOfBytes(existed ? data : "")},
                             root);
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

void TKeyCreation::RecordCreatedKeys(TInstallContext& context) const {
    if (context.Run.BackupFolder.empty()) return;
    // The innermost is undone first.
    for (const std::string& level : missing_) context.UndoLog.AddEntry(ekRemoveNewKey, {level}, root_);
}

void KeepKeyTreeForRollback(TInstallContext& context, std::uint32_t root, const std::string& subKey) {
    if (context.Run.BackupFolder.empty()) return;
    const std::string tree = KeyTreeText(PredefinedRootKey(root), subKey);
    if (!tree.empty()) context.UndoLog.AddEntry(ekRestoreKeyTree, {subKey, tree}, root);
}

}  // namespace qv
