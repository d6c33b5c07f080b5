#include "engine/journal/journal_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/folder_trust.h"
#include "engine/common/folders.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/private_folder.h"
#include "engine/common/unique_name.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// A root that is a link or junction could lead the journals (and the
// backups) anywhere: it is not used.
bool IsPlainFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TFolderAccess AccessOf(bool perMachine) {
    return perMachine ? TFolderAccess::AdministratorsOnly : TFolderAccess::WithThisUser;
}

void CreateProtected(const std::string& folder, bool perMachine) {
    if (IsPlainFolder(folder)) {
        // Made by an older version, with an entry for its user, or by
        // somebody else: the machine's journals get the list they need.
        if (!perMachine) return;
        const std::string other = OtherWriterOf(folder, MachineWriters());
        if (other.empty()) return;
        LogLine("the journal folder " + Quoted(folder) + " could be written by others (" + other +
                "); it is given the administrators' access list");
        if (ProtectFolder(Widen(folder))) return;
    } else if (CreatePrivateFolder(Widen(folder), AccessOf(perMachine))) {
        return;
    }
    const DWORD error = GetLastError();
    LogLine("cannot create the journal folder " + Quoted(folder) + ": " + WindowsErrorText(error));
    throw Exception(FormatText("设置程序不能创建文件夹 \"%s\"", {folder}));
}

}  // namespace

std::string JournalRoot(bool perMachine) {
    const std::string base = perMachine ? WindowsFolder() : ShellFolderPath(CSIDL_LOCAL_APPDATA);
    if (base.empty()) return {};
    return AppendBackslash(base) + "QVSetup\\Rollback";
}

std::string CreateRunFolder(bool perMachine) {
    const std::string root = JournalRoot(perMachine);
    if (root.empty()) throw Exception("设置程序找不到保存回滚信息的文件夹");
    // Another run that ends meanwhile removes the roots when they are
    // empty: they are made again.
    for (int attempt = 0;; ++attempt) {
        CreateProtected(ExtractFileDir(root), perMachine);
        CreateProtected(root, perMachine);
        const std::string folder = MakeUniqueName(root, ".run");
        // Its own list, not the root's by inheritance: a root an older
        // version made would pass on an entry for its user.
        if (CreatePrivateFolder(Widen(folder), AccessOf(perMachine))) return folder;
        const DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND && attempt < 3) continue;
        LogLine("cannot create the run folder " + Quoted(folder) + ": " + WindowsErrorText(error));
        throw Exception(FormatText("设置程序不能创建文件夹 \"%s\"", {folder}));
    }
}

std::vector<std::string> ListRunFolders(bool elevated) {
    // An elevated run never takes orders from a folder its user's programs
    // without administrator rights can write; a run without those rights
    // cannot act on the machine's journals.
    std::vector<std::string> folders;
    const std::string root = JournalRoot(elevated);
    if (root.empty() || !IsPlainFolder(root)) return folders;
    WIN32_FIND_DATAW found;
    const UniqueFindHandle find(FindFirstFileW(Widen(root + "\\qv-*.run").c_str(), &found));
    if (!find) return folders;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            folders.push_back(root + "\\" + Narrow(found.cFileName));
    } while (FindNextFileW(find.get(), &found));
    return folders;
}

std::string OtherWriterOfMachineJournal(const std::string& runFolder) {
    const std::vector<SidBytes> trusted = MachineWriters();
    const std::string root = ExtractFileDir(runFolder);
    for (const std::string& path :
         {ExtractFileDir(root), root, runFolder, runFolder + "\\" + kJournalFileName}) {
        const std::string other = OtherWriterOf(path, trusted);
        if (!other.empty()) return Quoted(path) + ": " + other;
    }
    return {};
}

void RemoveEmptyJournalRoots() {
    for (const bool perMachine : {true, false}) {
        const std::string root = JournalRoot(perMachine);
        // Only an empty folder goes; one in use by another run stays.
        if (!root.empty() && RemoveDirectoryW(Widen(root).c_str()))
            RemoveDirectoryW(Widen(ExtractFileDir(root)).c_str());
    }
}

}  // namespace qv
