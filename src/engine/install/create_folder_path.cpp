#include "engine/install/create_folder_path.h"

#include <windows.h>
#include <shlobj.h>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/common/full_path.h"

namespace qv {

void CreateFolderPath(const std::string& dir, std::uint8_t flags, TUndoChanges& undoLog,
                      std::vector<std::string>& dirsToRemoveAtEnd, TRunJournal* journal) {
    std::string folder = StripBackslash(dir);
    // A drive ("C:") or a root ("\") has nothing above it to create.
    if (folder.empty() || folder.back() == ':' || FolderExists(folder)) return;
    const std::string parent = ExtractFileDir(folder);
    if (parent == folder) return;
    CreateFolderPath(parent, flags, undoLog, dirsToRemoveAtEnd, journal);

    folder = FullPathOf(folder);
    const std::wstring wideFolder = Widen(folder);
    if (journal)
        journal->WriteAhead(journal::FolderCreated{folder, (flags & cfNotifyShell) ? std::uint32_t{journal::jfNotifyShell} : 0u});
    if (!CreateDirectoryW(wideFolder.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        LogLine("cannot create folder " + Quoted(folder) + ": " + WindowsErrorText(error));
        throw Exception(FormatText("设置程序不能创建文件夹 \"%s\"", {folder}));
    }
    if (flags & cfNotifyShell) {
        SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, wideFolder.c_str(), nullptr);
        const std::string shownParent = StripBackslashKeepRoot(ExtractFileDir(folder));
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH, Widen(shownParent).c_str(), nullptr);
    }
    if (flags & cfRemoveAtEnd) {
        dirsToRemoveAtEnd.push_back(folder);
        LogLine("created folder " + Quoted(folder) + ", removed again when setup ends");
    } else if (flags & cfNoUninstall) {
        // The uninstaller leaves it; a rollback still takes it away.
        LogLine("created folder " + Quoted(folder) + ", not recorded for the uninstaller");
        undoLog.CountJournalOnlyChange();
    } else {
        LogLine("created folder " + Quoted(folder));
        undoLog.AddEntry(ekFolder, {folder}, (flags & cfNotifyShell) ? std::uint32_t{efFolderNotify} : 0u);
    }
}

void CreateFolderPath(TInstallContext& context, const std::string& dir, std::uint8_t flags) {
    CreateFolderPath(dir, flags, context.UndoLog, context.Run.DirsToRemoveAtEnd, context.Journal);
}

}  // namespace qv
