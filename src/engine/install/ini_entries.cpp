#include "engine/install/ini_entries.h"

#include "core/errors.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/retry_question.h"
#include "core/text/path_strings.h"
#include "engine/common/full_path.h"
#include "engine/common/ini_profile_cp936.h"
#include "engine/install/rollback_keeping.h"

namespace qv {

namespace {

// Until written or skipped; Abort raises EAbort.
void WriteUntilDoneOrSkipped(const std::string& section, const std::string& entry, const std::string& value,
                             const std::string& fileName) {
    const std::string shown = (fileName.empty() ? std::string("WIN.INI") : Quoted(fileName)) + " [" + section +
                              "] " + entry + "=" + value;
    while (!WriteIniValueCp936(section, entry, value, fileName)) {
        LogLine("cannot write INI entry " + shown);
        const std::string text = FormatText(
            "在 %s INI文件创建项目出错，\r\n\r\n按<重试>重试，<忽略>跳过此项，或<取消>以取消安装。", {fileName});
        if (AskRetryIgnoreAbort(text, "", MB_DEFBUTTON2, {"", "skipped INI entry " + shown}) == TRetryAnswer::Ignore)
            return;
    }
    LogLine("wrote INI entry " + shown);
}

// The file the profile functions write for `fileName`: WIN.INI for none, a
// bare name in the Windows folder.
std::string IniFilePath(const std::string& fileName, const std::string& winFolder) {
    if (fileName.empty()) return AppendBackslash(winFolder) + "WIN.INI";
    if (fileName.find_first_of("\\/:") == std::string::npos) return AppendBackslash(winFolder) + fileName;
    return FullPathOf(fileName);
}

}  // namespace

void WriteIniEntries(TInstallContext& context) {
    const TInstallRun& run = context.Run;
    for (const TIniRec& record : run.Data.IniRecords) {
        const std::string section = run.Expand(record.Section);
        const std::string entry = run.Expand(record.Entry);
        const std::string value = run.Expand(record.Value);
        const std::string fileName = run.Expand(record.Filename);
        KeepCopyForRollback(context, IniFilePath(fileName, run.Folders.Win));

        WriteUntilDoneOrSkipped(section, entry, value, fileName);

        // Also after a skip: the entry may stand in the file from before,
        // and what the setup asks to remove goes at uninstall either way.
        if (record.Flags & ifUninstDeleteKey)
            context.UndoLog.AddEntry(ekIniKey, {fileName, section, entry}, 0);
        else if (record.Flags & ifUninstDeleteSection)
            context.UndoLog.AddEntry(ekIniSection, {fileName, section}, 0);

        context.Progress.PumpMessagesCheckCancel();
    }
    context.Progress.Advance(1000);
}

}  // namespace qv
