#include "engine/instfunc/leftovers_at_restart.h"

#include <windows.h>

#include <vector>

#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/restart_replace.h"

namespace qv {

namespace {

struct TLeftover {
    std::string Path;
    bool IsFolder;
};

// What is left of `folder`, in the order it can be deleted.
void CollectLeftovers(const std::wstring& folder, std::vector<TLeftover>& leftovers) {
    std::vector<std::wstring> subfolders;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (find) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            // A linked folder is removed as a link, never entered.
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                subfolders.push_back(path);
            else
                leftovers.push_back({Narrow(path), (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    for (const std::wstring& subfolder : subfolders) CollectLeftovers(subfolder, leftovers);
    leftovers.push_back({Narrow(folder), true});
}

// Housekeeping, not part of the installation: the run needs no restart for
// it. Logged either way.
void ArrangeDeletionAtRestart(const std::string& path, const std::string& what, const std::string& winFolder) {
    bool restartNeeded = false;
    try {
        RestartReplace(path, "", winFolder, restartNeeded);
        LogLine("deleted at the next restart: " + what);
    } catch (...) {
        LogLine("cannot arrange the deletion at the next restart of " + what + ": " + CurrentExceptionText());
    }
}

}  // namespace

void DeleteFileAtRestart(const std::string& path, const std::string& winFolder) {
    ArrangeDeletionAtRestart(path, "file " + Quoted(path), winFolder);
}

void DeleteLeftoversAtRestart(const std::string& folder, const std::string& winFolder) {
    // Gone already (a rollback takes the run's scratch folder with it):
    // nothing waits for the restart.
    if (folder.empty() || !PathExists(folder)) return;
    std::vector<TLeftover> leftovers;
    CollectLeftovers(Widen(folder), leftovers);
    LogLine("the folder " + Quoted(folder) +
            " could not be removed whole (what is left in it is still in use): deleted at the next restart");
    for (const TLeftover& item : leftovers) {
        const std::string what = std::string(item.IsFolder ? "folder " : "file ") + Quoted(item.Path);
        if (item.IsFolder && !IsWinNT()) {
            LogLine("left " + what + ": WININIT.INI deletes files only");
            continue;
        }
        ArrangeDeletionAtRestart(item.Path, what, winFolder);
    }
}

}  // namespace qv
