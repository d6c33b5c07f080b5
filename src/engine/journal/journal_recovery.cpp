#include "engine/journal/journal_recovery.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/journal/journal_reader.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/journal/journal_file.h"
#include "engine/journal/journal_folders.h"
#include "engine/journal/journal_undo.h"

namespace qv {

using namespace journal;

namespace {

constexpr std::size_t kFailuresShown = 10;

bool HoldsCompleteMarker(const JournalReading& reading) {
    for (const JournalEntry& entry : reading.Records)
        if (std::holds_alternative<InstallationComplete>(entry.Record.Fact)) return true;
    return false;
}

std::string AppNameOf(const JournalReading& reading) {
    return reading.Header.AppName.empty() ? std::string("(名称不详)") : reading.Header.AppName;
}

void RemoveRunFolder(const std::string& folder) {
    if (!DeleteFolderTree(folder)) LogLine("recovery: the run folder " + Quoted(folder) + " stays in part");
}

// Closes the journal and gives it the name that keeps it from being taken
// up again, with the folder and the backups not put back.
void KeepAs(std::unique_ptr<TJournalFile>& file, const std::string& folder, const char* name) {
    file.reset();
    const std::string from = folder + "\\" + kJournalFileName, to = folder + "\\" + name;
    if (!MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        LogLine("recovery: cannot rename " + Quoted(from) + ": " + WindowsErrorText(GetLastError()));
}

std::string ListOf(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kFailuresShown; ++i) text += lines[i] + "\r\n";
    if (lines.size() > kFailuresShown) text += "……（另有 " + std::to_string(lines.size() - kFailuresShown) + " 项）\r\n";
    return text;
}

// One run folder; false when something stays changed or the journal was damaged.
bool RecoverRunFolder(const std::string& folder, bool elevated) {
    const std::string path = folder + "\\" + kJournalFileName;
    if (!FileExists(path)) return true;  // a journal kept before, or a run that is just making its own
    if (elevated) {
        // Checked before the journal is opened: once nobody else may write
        // it, nobody else can change it until it is read.
        const std::string other = OtherWriterOfMachineJournal(folder);
        if (!other.empty()) {
            LogLine("recovery: " + Quoted(path) + " left alone: somebody without administrator rights could have written it (" +
                    other + ")");
            return true;
        }
    }
    DWORD error = 0;
    std::unique_ptr<TJournalFile> file = TJournalFile::OpenExisting(path, error);
    if (!file) {
        if (error == ERROR_SHARING_VIOLATION)
            LogLine("recovery: " + Quoted(path) + " is held by its running installation (or another recovery): left alone");
        else
            LogLine("recovery: cannot open " + Quoted(path) + ": " + WindowsErrorText(error));
        return true;
    }
    const JournalReading reading = ReadJournal(file->ReadAll());
    if (reading.Refusal != JournalRefusal::None) {
        LogLine("recovery: " + Quoted(path) + " left alone: " + DescribeRefusal(reading));
        return true;
    }
    if (reading.HeaderState == JournalHeaderState::Cut) {
        LogLine("recovery: " + Quoted(path) + " ends inside its header; its installation changed nothing");
        file.reset();
        RemoveRunFolder(folder);
        return true;
    }
    const std::string app = AppNameOf(reading);
    if (HoldsCompleteMarker(reading)) {
        LogLine("recovery: the installation of " + Quoted(app) + " had completed; its journal and backups are deleted");
        file.reset();
        RemoveRunFolder(folder);
        return true;
    }

    std::unique_ptr<JournalWriter> writer;
    if (reading.Sound()) {
        file->CutAt(reading.ReadableEnd);
        writer = std::make_unique<JournalWriter>(*file, reading.NextNumber);
    }
    LogLine("recovery: rolling back the installation of " + Quoted(app) + " that did not end (process " +
            std::to_string(reading.Header.ProcessId) + ", journal " + Quoted(path) + ", " +
            std::to_string(reading.Records.size()) + " records; " + DescribeTail(reading) + ")");
    const TJournalUndoResult undone = UndoJournalRecords(reading.Records, writer.get(), folder);
    writer.reset();

    std::string damage;
    for (const JournalDamage& d : reading.Damage) damage += (damage.empty() ? "" : "; ") + DescribeDamage(d);
    std::string line = "recovery: rolled back the installation of " + Quoted(app) + ": " +
                       std::to_string(undone.Undone) + " records undone, " + std::to_string(undone.Failures.size()) +
                       " could not be undone";
    if (!damage.empty()) line += "; the journal is damaged (" + damage + "), kept as " + Quoted(folder + "\\" + kDamagedJournalFileName);
    LogLine(line);

    std::string text = FormatText("“%s”的上一次安装没有完成。设置程序已撤消了它对计算机所作的更改", {app});
    TMsgBoxKind kind = mbtInformation;
    if (!reading.Sound()) {
        KeepAs(file, folder, kDamagedJournalFileName);
        text += "，但这次安装的回滚信息已损坏，只能撤消其中读得出的部分。未能读出的部分保留在\r\n" + folder +
                "\r\n中。";
        kind = mbtError;
    } else if (!undone.AllUndone()) {
        KeepAs(file, folder, kFailedJournalFileName);
        kind = mbtError;
    } else {
        file.reset();
        RemoveRunFolder(folder);
        text += "。";
    }
    if (!undone.AllUndone()) text += "\r\n\r\n下列更改不能撤消：\r\n" + ListOf(undone.Failures);
    AppMsgBox(text, "设置", kind, MB_OK);
    return reading.Sound() && undone.AllUndone();
}

}  // namespace

bool RecoverDeadInstallations(bool elevated) {
    bool allRestored = true;
    if (elevated) {
        const std::size_t usersJournals = ListRunFolders(false).size();
        if (usersJournals != 0)
            LogLine("recovery: " + std::to_string(usersJournals) + " run folder(s) in " + Quoted(JournalRoot(false)) +
                    " left alone: a folder the user's programs can write is no order to an elevated run");
    }
    for (const std::string& folder : ListRunFolders(elevated)) {
        try {
            if (!RecoverRunFolder(folder, elevated)) allRestored = false;
        } catch (const std::exception&) {
            LogLine("recovery of " + Quoted(folder) + " failed: " + CurrentExceptionText());
            allRestored = false;
        }
    }
    RemoveEmptyJournalRoots();
    return allRestored;
}

}  // namespace qv
