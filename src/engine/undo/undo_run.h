// One run of TUndoChanges::UndoAll: what undoing each kind of entry means,
// and the state the entries share. Internal to the undo layer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/uninstall/uninstall_log.h"
#include "engine/undo/progman_items.h"
#include "engine/undo/simple_string_list.h"
#include "engine/undo/undo_guards.h"
#include "engine/undo/undo_observer.h"

namespace qv {

class UndoRun {
public:
    UndoRun(bool uninstalling, TEntrySource source) : uninstalling_(uninstalling), source_(source) {}
    // Tells the shell to re-read each folder of FoldersToRefresh that still
    // exists, once, in the order they were added.
    ~UndoRun();
    UndoRun(const UndoRun&) = delete;
    UndoRun& operator=(const UndoRun&) = delete;

    // Undoes one entry; a kind this system does not know is passed over.
    // Failures that are no exception make the result false; exceptions
    // pass to the caller, which counts them too (Fail).
    void Undo(const TChangeEntry& entry);
    bool Result() const { return result_; }

    // What became of the entry being undone, for the installation log:
    // done, unless the undoing passed it over or failed, with the reason.
    // A failure outweighs a skip; several failures are all told.
    void Fail(const std::string& reason, unsigned long errorCode = 0, const std::string& userReason = "");
    void Skip(const std::string& reason);
    // The entry (or what remains of it) is not acted on: its paths or keys
    // are the system's, or lead elsewhere than they read (undo_guards.h).
    // A failure, listed with its reason in the user's words.
    void Refuse(const TRefusal& refusal);
    // Uninstalling: the entry goes at the next start of Windows.
    void AtRestart(const std::string& reason);
    // "done", "skipped: <reason>", "at the next restart: <reason>",
    // "failed: <reason>" or "refused: <reason>".
    std::string EntryOutcome() const;
    bool EntryFailed() const { return entryFailed_; }
    TUndoOutcome Outcome() const;
    const std::string& EntryReason() const { return entryReason_; }
    // The Windows error of the entry's first failure, 0 when it had none.
    unsigned long EntryError() const { return entryError_; }
    // The first failure's reason in the user's words, "" when it had none.
    const std::string& EntryUserReason() const { return entryUserReason_; }

private:
    void UndoFolder(const std::string& folder, std::uint32_t flags);
    void WaitForRemovedSubfolders(const std::string& folder) const;
    void UndoFile(const std::string& file, const std::string& pendingTemp, std::uint32_t flags);
    // A new version of `file` still waiting in `temp` for the restart: its
    // pending rename taken back, `temp` deleted. False when `temp` is gone.
    bool TakeBackWaitingReplacement(const std::string& file, const std::string& temp);
    bool AskToDeleteSharedFile(const std::string& file) const;
    void DeleteFileAndHelpCompanions(const std::string& file, bool notifyShell);
    // Uninstalling: a file that cannot go now because it is in use (open
    // elsewhere, a running program, a loaded library) goes at the next
    // restart. False when it is not in use: missing rights are a failure.
    bool DeleteAtRestart(const std::string& file, unsigned long deleteError);
    // The protected places, gathered at the first entry that needs them.
    const TProtectedPlaces& Places();
    // Something inside `folder` goes at the next restart.
    bool HoldsFileAtRestart(const std::string& folder) const;
    // Uninstalling: the INI file, once nothing is left in it.
    void DeleteIniFileIfEmpty(const std::string& iniFile);
    void UndoProgManItem(const std::string& group, const std::string& item);
    void UndoIniKey(const std::string& iniFile, const std::string& section, const std::string& key);
    void UndoIniSection(const std::string& iniFile, const std::string& section);
    void UndoRegKeyTree(std::uint32_t root, const std::string& subKey);
    void UndoRegDefaultValue(std::uint32_t root, const std::string& subKey);
    // ekRegKeyIfEmpty with no value name, ekRegValue with one.
    void UndoRegValue(std::uint32_t root, const std::string& subKey, const std::string* valueName);
    // The entries only a rollback knows (rollback_entries.h).
    void UndoRollbackOnly(const TChangeEntry& entry);
    void RestoreFile(const std::string& path, const std::string& backup, const std::string& facts);
    void RemoveNewFile(const std::string& path);
    void RestoreRegValue(std::uint32_t root, const std::string& subKey, const std::string& name, bool existed,
                         unsigned long type, const std::string& data);
    void RemoveNewKey(std::uint32_t root, const std::string& subKey);

    const bool uninstalling_;
    const TEntrySource source_;
    bool result_ = true;
    bool entryFailed_ = false;
    bool entryAtRestart_ = false;
    bool entryRefused_ = false;
    std::string entryReason_;
    unsigned long entryError_ = 0;
    std::string entryUserReason_;
    // Uninstalling: the files and folders that go at the next restart.
    std::vector<std::string> atRestart_;
    std::optional<TProtectedPlaces> places_;
    TWayCache ways_;
    TSimpleStringList removedFolders_;
    TSimpleStringList foldersToRefresh_;
    ProgmanItemRemover progman_;
};

// A path undo may act on: a drive or network path that is fully qualified.
// The run moves the current directory to the Windows folder, where a
// relative path would land. Raises Exception for any other.
void RequireFullPath(const std::string& path);

}  // namespace qv
