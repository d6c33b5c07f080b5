#include "engine/journal/journal_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "core/errors.h"
#include "core/text/path_strings.h"
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

void CreateProtected(const std::string& folder) {
    if (IsPlainFolder(folder)) return;
    if (CreatePrivateFolder(Widen(folder))) return;
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
    CreateProtected(ExtractFileDir(root));
    CreateProtected(root);
    const std::string folder = MakeUniqueName(root, ".run");
    if (!CreateDirectoryW(Widen(folder).c_str(), nullptr)) {
        LogLine("cannot create the run folder " + Quoted(folder) + ": " + WindowsErrorText(GetLastError()));
        throw Exception(FormatText("设置程序不能创建文件夹 \"%s\"", {folder}));
    }
    return folder;
}

std::vector<std::string> ListRunFolders(bool elevated) {
    std::vector<std::string> folders;
    std::vector<std::string> roots{JournalRoot(false)};
    if (elevated) roots.push_back(JournalRoot(true));
    for (const std::string& root : roots) {
        if (root.empty() || !IsPlainFolder(root)) continue;
        WIN32_FIND_DATAW found;
        const UniqueFindHandle find(FindFirstFileW(Widen(root + "\\qv-*.run").c_str(), &found));
        if (!find) continue;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back(root + "\\" + Narrow(found.cFileName));
        } while (FindNextFileW(find.get(), &found));
    }
    return folders;
}

}  // namespace qv
