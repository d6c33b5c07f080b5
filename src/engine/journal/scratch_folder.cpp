#include "engine/journal/scratch_folder.h"

#include <windows.h>

#include "core/text/path_strings.h"
#include "core/uninstall/undo_guard_rules.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"

namespace qv {

namespace {

// "qv-XXXXX.tmp" as Windows resolves the path: in any letter case, with
// trailing dots and blanks dropped.
bool IsPrivateTempFolder(const std::string& folder) {
    const std::string name = ExtractFileName(ComparablePath(folder));
    return name.size() > 7 && name.compare(0, 3, "qv-") == 0 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

}  // namespace

TRefusal DeleteScratchFolder(const std::string& folder, const std::string& runFolder) {
    if (!IsPrivateTempFolder(folder) &&
        (runFolder.empty() || ComparablePath(folder) != ComparablePath(runFolder)))
        return {"refused: not a scratch folder of the engine's own, which alone goes with its contents",
                "文件夹 " + folder + " 不是设置程序自己的临时文件夹，没有删除"};
    const TProtectedPlaces places;
    if (TRefusal refusal = RefusalOfPath(folder, places)) {
        refusal.UserReason = folder + "：" + refusal.UserReason;
        return refusal;
    }
    const TWayLock way(folder);
    if (way.Missing()) return {};
    if (TRefusal refusal = way.Refusal()) {
        refusal.UserReason = folder + "：" + refusal.UserReason;
        return refusal;
    }
    {
        // Without delete sharing it can be neither renamed nor replaced by a
        // link while its contents go.
        const UniqueHFile held(CreateFileW(Widen(folder).c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION facts{};
        if (!held) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
            return {"cannot open it: " + WindowsErrorText(error), folder};
        }
        if (!GetFileInformationByHandle(held.get(), &facts) || !(facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return {"refused: it is a link or junction now, or no folder", folder + "：它现在是链接或联接点，没有改动"};
        DeleteFolderTree(folder);  // everything but the folder itself, which is held
    }
    if (!RemoveDirectoryW(Widen(folder).c_str()) && PathExists(folder))
        return {"cannot remove it: " + WindowsErrorText(GetLastError()), folder};
    return {};
}

}  // namespace qv
