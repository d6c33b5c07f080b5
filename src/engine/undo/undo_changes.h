// The undo log: every change the installation makes to the machine that
// its uninstall undoes, in the order made; a successful installation saves
// it as the uninstall log (SaveToFile), which the uninstaller reads to undo
// the same changes later. What only a rollback needs (what a change
// replaced, keys and folders the uninstaller leaves) is in the rollback
// journal alone (engine/journal), which rolls a failed, cancelled or dead
// installation back; UndoAll(false) undoes a list as a rollback would, for
// the journal's own undo and a run that keeps no journal.
//
// Install steps record a change the moment after they made it:
//
//   CreateDirectoryW(...);
//   undo.AddEntry(ekFolder, {folder}, 0);
//
// The entries keep their strings whole in memory, so that a rollback acts
// on exactly the paths recorded; only the file cuts an entry's data, to
// 64985 bytes, and the application name, to 63 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/uninstall/uninstall_log.h"
#include "engine/undo/undo_observer.h"

namespace qv {

class TUndoChanges {
public:
    TUndoChanges() = default;
    ~TUndoChanges() { Clear(); }
    TUndoChanges(const TUndoChanges&) = delete;
    TUndoChanges& operator=(const TUndoChanges&) = delete;

    // The header of the uninstall log.
    std::string AppName;  // UTF-8
    bool AdminInstall = false;
    // Uninstalling: the log is the one its installation saved, as the SHA-256
    // in its uninstall key tells; only then may it remove the application's
    // own file types.
    bool LogChecked = false;

    // Appends an entry holding `data` as it is: the kind's strings in
    // UTF-8, each followed by one zero byte.
    void AddRawEntry(TChangeKind kind, const std::string& data, std::uint32_t flags);
    // Appends an entry of `strings` in the order of the kind (see TChangeKind).
    // Raises Exception when a known kind gets another number of strings or
    // a string holds a zero byte: the entry would name other paths.
    // Both count the change for a test's fault plan (fault_injection.h),
    // which may raise Exception once the entry is appended.
    void AddEntry(TChangeKind kind, const std::vector<std::string>& strings, std::uint32_t flags);
    // A change that only the rollback journal undoes (a file moved aside, a
    // value or key tree overwritten, a key or folder made that the
    // uninstaller leaves): it gets no entry, since this list carries exactly
    // what the uninstall log will, but it counts as a change for a test's
    // fault plan and is marked done on the journal like any other.
    void CountJournalOnlyChange();
    // Forgets every entry, the application name and AdminInstall.
    void Clear();
    // Takes `entries` (oldest first) as the list, counting no change: what
    // a run that died had recorded, to be undone by a later one.
    void AdoptEntries(std::vector<TChangeEntry> entries) { entries_ = std::move(entries); }

    // Told the change's number (fault_injection.h's count) once its entry
    // is recorded: the rollback journal marks the change complete.
    std::function<void(std::uint32_t change)> OnRecorded;

    // Writes the uninstall log: the header, then the entries oldest first.
    // The list stays as it is. A log the format cannot hold (more than
    // 65535 entries, a text with no code page 936 form) raises Exception
    // before the file is touched. I/O failures raise EInOutError with the
    // system's code, after the file is closed; a file this call made is
    // removed again, and a file it replaced is left without a valid header.
    // Returns the bytes written: what the uninstall key vouches for, never
    // the file read back, which somebody may have changed meanwhile.
    std::vector<std::uint8_t> SaveToFile(const std::string& fileName) const;

    // Undoes every entry, newest first, and forgets each once handled: the
    // list is empty afterwards. With `uninstalling` false it rolls an
    // installation back; with true it gives the entries the meaning the
    // uninstaller needs: the uninstall-only paths are deleted too, and the
    // user is asked before a shared file whose count reached zero is
    // deleted. Either way a new version still waiting for the restart is
    // taken back: its pending rename (or WININIT.INI line) goes, and so
    // does its temporary file. A failed entry never
    // stops the older ones; the result is whether everything was undone.
    // An entry's exception is shown in the box "反安装", unless it is the
    // silent abort. The uninstaller also gets rid of what the rollback
    // leaves: a file in use goes at the next restart (with the folders
    // that hold it), a read-only file loses its attribute first, and an
    // INI file left without anything in it is deleted. `observer`, when
    // given, hears of every entry.
    bool UndoAll(bool uninstalling, IUndoObserver* observer = nullptr);

    // Oldest first.
    const std::vector<TChangeEntry>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }

private:
    std::vector<TChangeEntry> entries_;
};

}  // namespace qv
