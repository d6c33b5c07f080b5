#include "engine/undo/undo_changes.h"

#include <windows.h>

#include "core/errors.h"
#include "engine/common/fault_injection.h"
#include "engine/common/install_log.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/undo/rollback_entries.h"
#include "engine/undo/undo_entry_text.h"

namespace qv {

namespace {

// Numbered from 1 in the order recorded, as the rollback names them again,
// with the number of the change, which the journal's facts carry: changes
// that only the journal undoes have no entry.
void LogRecorded(const std::vector<TChangeEntry>& entries) {
    if (!InstallLogIsOpen()) return;
    LogLine("undo entry #" + std::to_string(entries.size()) + ": " + ChangeEntryText(entries.back()) + "; change #" +
            std::to_string(ChangesCounted() + 1));
}

// A test's plan may fail the run here. The entry is in the list by now, so
// the change just made is rolled back with the others.
void FailWhenPlanned() {
    if (!FaultStrikesAtChange()) return;
    throw Exception("Injected fault: change " + std::to_string(ChangesCounted()) +
                    " of the run fails, as the test planned");
}

}  // namespace

void TUndoChanges::AddRawEntry(TChangeKind kind, const std::string& data, std::uint32_t flags) {
    TChangeEntry entry;
    entry.Flags = flags;
    entry.Kind = kind;
    entry.StringData = data;
    entries_.push_back(std::move(entry));
    LogRecorded(entries_);
    FailWhenPlanned();
    if (OnRecorded) OnRecorded(ChangesCounted());
}

void TUndoChanges::AddEntry(TChangeKind kind, const std::vector<std::string>& strings, std::uint32_t flags) {
    entries_.push_back(TChangeEntry::Make(kind, strings, flags));
    LogRecorded(entries_);
    FailWhenPlanned();
    if (OnRecorded) OnRecorded(ChangesCounted());
}

void TUndoChanges::CountJournalOnlyChange() {
    if (InstallLogIsOpen())
        LogLine("change #" + std::to_string(ChangesCounted() + 1) + ": undone by the rollback journal alone");
    FailWhenPlanned();
    if (OnRecorded) OnRecorded(ChangesCounted());
}

void TUndoChanges::Clear() {
    entries_.clear();
    entries_.shrink_to_fit();
    AppName.clear();
    AdminInstall = false;
}

std::vector<std::uint8_t> TUndoChanges::SaveToFile(const std::string& fileName) const {
    // The installation's list never holds what only a rollback knows; a
    // list made otherwise still keeps it out of the uninstaller's log.
    std::vector<TChangeEntry> logged;
    logged.reserve(entries_.size());
    for (const TChangeEntry& entry : entries_)
        if (!IsRollbackOnly(entry.Kind)) logged.push_back(entry);
    const std::vector<std::uint8_t> log = EncodeUninstallLog(AppName, AdminInstall, logged);
    bool madeTheFile = false;
    try {
        WinFileOutStream file(fileName);
        madeTheFile = !file.ReplacedExisting();
        // The header comes last: until every entry is on disk the file
        // carries no signature, so a write that stops halfway leaves
        // nothing an uninstaller would take for a log.
        const std::vector<std::uint8_t> noHeader(TChangeFileHeader::kSize, 0);
        file.Write(noHeader.data(), noHeader.size());
        file.Write(log.data() + TChangeFileHeader::kSize, log.size() - TChangeFileHeader::kSize);
        file.Patch(0, log.data(), TChangeFileHeader::kSize);
        file.Close();
    } catch (...) {
        // The stream has closed the file by now.
        if (madeTheFile) DeleteFileW(Widen(fileName).c_str());
        throw;
    }
    return log;
}

}  // namespace qv
