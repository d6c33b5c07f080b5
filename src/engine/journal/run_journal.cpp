#include "engine/journal/run_journal.h"

#include <windows.h>

#include "core/journal/journal_reader.h"
#include "engine/common/fault_injection.h"
#include "engine/common/install_log.h"
#include "engine/common/phase_clock.h"
#include "engine/common/private_folder.h"
#include "engine/common/log_text.h"
#include "engine/common/win_text.h"
#include "engine/common/folders.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/instfunc/leftovers_at_restart.h"
#include "engine/journal/journal_folders.h"

namespace qv {

namespace {

std::uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

journal::JournalHeader HeaderOfThisRun(const std::string& appName, const std::string& appFolder, bool perMachine) {
    journal::JournalHeader header;
    header.Flags = perMachine ? journal::jhPerMachine : 0;
    header.ProcessId = GetCurrentProcessId();
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        header.ProcessCreationTime = FileTimeValue(created);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    header.StartTime = FileTimeValue(now);
    header.AppName = appName;
    header.AppFolder = appFolder;
    return header;
}

}  // namespace

TRunJournal::TRunJournal(const std::string& appName, const std::string& appFolder, bool perMachine)
    : folder_(CreateRunFolder(perMachine)) {
    try {
        // Owned by the Administrators, as its folder: a recovery obeys a
        // machine's journal only then, whatever owner the token would give.
        TPrivateFolderSecurity security(TFolderAccess::AdministratorsOnly);
        file_ = TJournalFile::CreateNew(folder_ + "\\" + kJournalFileName, perMachine ? security.Attributes() : nullptr);
        writer_ = std::make_unique<journal::JournalWriter>(*file_, HeaderOfThisRun(appName, appFolder, perMachine));
    } catch (...) {
        file_.reset();
        RemoveRunFolder();
        throw;
    }
    LogLine("rollback journal: " + Quoted(folder_ + "\\" + kJournalFileName));
}

void TRunJournal::WriteAhead(const journal::JournalFact& fact) { WriteAhead(std::vector<journal::JournalFact>{fact}); }

void TRunJournal::WriteAhead(const std::vector<journal::JournalFact>& facts) {
    if (facts.empty()) return;
    const TPhaseScope phase(TPhase::Journal);
    ChooseFlush(facts);
    writer_->WriteAhead(ChangesCounted() + 1, facts);
    CountJournalRecords(static_cast<std::uint32_t>(facts.size()));
}

void TRunJournal::ChooseFlush(const std::vector<journal::JournalFact>& facts) {
    const auto onlyNew = [](const journal::JournalFact& fact) {
        using namespace journal;
        if (const auto* value = std::get_if<RegValueBefore>(&fact)) return !value->Before.Existed;
        return std::holds_alternative<FileWasAbsent>(fact) || std::holds_alternative<FolderCreated>(fact) ||
               std::holds_alternative<RegKeyWasAbsent>(fact) || std::holds_alternative<LibraryRegistered>(fact) ||
               std::holds_alternative<ProgManItemAdded>(fact);
    };
    // GetTickCount64 is missing before Windows Vista; the difference of two
    // 32-bit counts is right across their wrap.
    const DWORD now = GetTickCount();
    bool defer = now - lastFlush_ < kAdditiveFlushDelayMs;
    for (const journal::JournalFact& fact : facts) defer = defer && onlyNew(fact);
    if (defer)
        file_->DeferNextFlush();
    else
        lastFlush_ = now;
}

void TRunJournal::MarkDone(std::uint32_t change) {
    const TPhaseScope phase(TPhase::Journal);
    writer_->MarkDone(change);
}

void TRunJournal::Complete() {
    // Once this is on the disk a recovery only deletes what is left.
    try {
        writer_->MarkComplete();
    } catch (const std::exception&) {
        // Without the mark a recovery would undo a finished installation:
        // the journal goes before the backups it names.
        LogLine("the rollback journal cannot be marked complete: " + CurrentExceptionText() + "; deleted first");
        writer_.reset();
        file_.reset();
        DeleteFileW(Widen(folder_ + "\\" + kJournalFileName).c_str());
    }
    RemoveRunFolder();
}

TJournalUndoResult TRunJournal::RollBack() {
    const journal::JournalReading reading = journal::ReadJournal(file_->ReadAll());
    // Read back whole, the writer goes on where it stopped (ReadAll leaves
    // the file at its end); a writer that failed, or a file that does not
    // read back whole, takes no marks.
    journal::JournalWriter* marks = writer_.get();
    if (!reading.Sound() || reading.Tail != journal::JournalTail::Clean || reading.NextNumber != writer_->NextNumber())
        marks = nullptr;
    return UndoJournalRecords(reading.Records, marks, folder_);
}

void TRunJournal::Discard() { RemoveRunFolder(); }

void TRunJournal::RemoveRunFolder() {
    writer_.reset();
    // The journal goes last: a run folder without it is an orphan, one with
    // it is a recovery's business.
    const std::string journalPath = folder_ + "\\" + kJournalFileName;
    WIN32_FIND_DATAW found;
    {
        const UniqueFindHandle find(FindFirstFileW(Widen(folder_ + "\\*").c_str(), &found));
        if (find) do {
                const std::string name = Narrow(found.cFileName);
                if (name == "." || name == ".." || name == kJournalFileName) continue;
                const std::string path = folder_ + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    DeleteFolderTree(path);
                else
                    DeleteFileW(Widen(path).c_str());
            } while (FindNextFileW(find.get(), &found));
    }
    file_.reset();
    DeleteFileW(Widen(journalPath).c_str());
    // A backup still in use (a running program that was replaced) goes at
    // the next restart, with the folder.
    if (!RemoveDirectoryW(Widen(folder_).c_str())) DeleteLeftoversAtRestart(folder_, WindowsFolder());
    RemoveEmptyJournalRoots();
}

}  // namespace qv
