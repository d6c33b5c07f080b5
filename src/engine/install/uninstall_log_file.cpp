#include "engine/install/uninstall_log_file.h"

#include <windows.h>


#include "core/errors.h"
#include "core/text/path_strings.h"
#include "core/uninstall/uninstall_log_hash.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "core/text/number_text.h"

namespace qv {

bool AnyFileMatches(const std::string& pattern) {
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(FindFirstFileW(Widen(pattern).c_str(), &data));
    return find.valid();
}

std::string UninstallLogName(const std::string& pattern, char which) {
    std::string name = pattern;
    const std::size_t at = name.rfind("%s");
    if (at != std::string::npos) name.replace(at, 2, 1, which);
    return name;
}

void ReserveUninstallLogName(TInstallContext& context) {
    const std::string folder = AppendBackslash(context.Run.Folders.App);
    for (int i = 0; i <= 999; ++i) {
        const std::string number = SignedDigits(i, 3);
        const std::string pattern = folder + "UNINST%s." + number;
        // A log without its placeholder (or the reverse) still takes the number.
        if (AnyFileMatches(UninstallLogName(pattern, '?'))) continue;
        const std::string placeholder = UninstallLogName(pattern, '0');
        WriteAhead(context, journal::FileWasAbsent{placeholder, 0});
        WinFileOutStream(placeholder).Close();
        context.UninstallLogPattern = pattern;
        LogLine("reserved the uninstall log's name: placeholder " + Quoted(placeholder) + ", log " +
                Quoted(UninstallLogName(pattern, '1')));
        context.UndoLog.AddEntry(ekFile, {placeholder, ""}, 0);
        return;
    }
    throw Exception("由于目标文件夹中文件数太多，导致无法在该文件夹下创建文件");
}

void RecordUninstallDeleteEntries(TInstallContext& context) {
    for (const TUninstallDeleteRec& rec : context.Run.Data.UninstallDeleteRecords)
        context.UndoLog.AddEntry(ekFile, {context.Run.Expand(rec.Name), ""}, efUninstallOnly);
}

void SaveUninstallLog(TInstallContext& context) {
    const std::string fileName = UninstallLogName(context.UninstallLogPattern, '1');
    WriteAhead(context, journal::FileWasAbsent{fileName, 0});
    context.UninstallLogHash = UninstallLogHash(context.UndoLog.SaveToFile(fileName));
    LogLine("saved the uninstall log " + Quoted(fileName) + ", entries: " +
            std::to_string(context.UndoLog.Entries().size()));
}

}  // namespace qv
