#include "engine/undo/undo_run.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "core/errors.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/undo/rollback_entries.h"
#include "engine/undo/undo_support.h"

namespace qv {

void RequireFullPath(const std::string& path) {
    if (!IsFullPath(path)) throw Exception("反安装记录中的路径 \"" + path + "\" 不是完整的路径");
}

UndoRun::~UndoRun() {
    try {
        for (const std::string& folder : foldersToRefresh_)
            if (FolderExists(folder))
                SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH, Widen(folder).c_str(), nullptr);
    } catch (...) {
        // Out of memory while telling the shell: it re-reads the folders
        // when it next shows them anyway.
    }
}

void UndoRun::Fail(const std::string& reason, unsigned long errorCode, const std::string& userReason) {
    result_ = false;
    if (!entryFailed_) entryReason_.clear(), entryError_ = errorCode, entryUserReason_ = userReason;
    entryFailed_ = true;
    entryReason_ += (entryReason_.empty() ? "" : "; ") + reason;
}

void UndoRun::Refuse(const TRefusal& refusal) {
    Fail(refusal.Reason, 0, refusal.UserReason);
    entryRefused_ = true;
}

const TProtectedPlaces& UndoRun::Places() {
    if (!places_) places_.emplace();
    return *places_;
}

void UndoRun::Skip(const std::string& reason) {
    if (!entryFailed_ && !entryAtRestart_) entryReason_ = reason;
}

void UndoRun::AtRestart(const std::string& reason) {
    if (entryFailed_) return;
    entryAtRestart_ = true;
    entryReason_ = reason;
}

TUndoOutcome UndoRun::Outcome() const {
    if (entryFailed_) return TUndoOutcome::Failed;
    if (entryAtRestart_) return TUndoOutcome::AtRestart;
    return entryReason_.empty() ? TUndoOutcome::Undone : TUndoOutcome::PassedOver;
}

std::string UndoRun::EntryOutcome() const {
    if (entryRefused_) return entryReason_;
    if (entryFailed_) return "failed: " + entryReason_;
    if (entryAtRestart_) return "at the next restart: " + entryReason_;
    if (!entryReason_.empty()) return "skipped: " + entryReason_;
    return "done";
}

void UndoRun::Undo(const TChangeEntry& entry) {
    entryFailed_ = false;
    entryAtRestart_ = false;
    entryRefused_ = false;
    entryReason_.clear();
    entryError_ = 0;
    entryUserReason_.clear();
    const auto text = [&](std::size_t index) { return EntryString(entry, index); };
    const std::string first = text(0);
    // Whatever the entry says: nothing of the system, nothing by a path
    // that reads otherwise than it leads.
    if (const TRefusal refusal = RefusalOfEntry(entry, Places(), source_)) return Refuse(refusal);
    if (IsRollbackOnly(entry.Kind)) {
        // The uninstall log never holds them; a rollback puts back what they kept.
        if (uninstalling_) return Skip("kept for a rollback only");
        return UndoRollbackOnly(entry);
    }
    switch (entry.Kind) {
    case ekFolder: UndoFolder(first, entry.Flags); break;
    case ekFile: UndoFile(first, text(1), entry.Flags); break;
    case ekProgManItem: UndoProgManItem(first, text(1)); break;
    case ekIniKey: UndoIniKey(first, text(1), text(2)); break;
    case ekIniSection: UndoIniSection(first, text(1)); break;
    case ekRegKeyTree: UndoRegKeyTree(entry.Flags, first); break;
    case ekRegDefaultValue: UndoRegDefaultValue(entry.Flags, first); break;
    case ekRegKeyIfEmpty: UndoRegValue(entry.Flags, first, nullptr); break;
    case ekRegValue: {
        const std::string valueName = text(1);
        UndoRegValue(entry.Flags, first, &valueName);
        break;
    }
    default:
        // A kind of a later version: the uninstaller of that version
        // knows it, this one leaves it alone.
        Skip("a kind of a later version, left alone");
        break;
    }
}

void UndoRun::UndoRollbackOnly(const TChangeEntry& entry) {
    const auto text = [&](std::size_t index) { return EntryString(entry, index); };
    // The kinds of a rollback lie outside the enumeration of the file.
    switch (static_cast<unsigned>(entry.Kind)) {
    case ekRestoreFile: RestoreFile(text(0), text(1), text(2)); break;
    case ekRemoveNewFile: RemoveNewFile(text(0)); break;
    case ekRestoreRegValue:
        RestoreRegValue(entry.Flags, text(0), text(1), text(2) == "1", std::strtoul(text(3).c_str(), nullptr, 10),
                        BytesOfHex(text(4)));
        break;
    case ekRemoveNewKey: RemoveNewKey(entry.Flags, text(0)); break;
    case ekRemoveNewFolder: UndoFolder(text(0), 0); break;
    case ekRestoreKeyTree:
        if (!WriteKeyTree(RootKeyOfEntry(entry.Flags), text(0), text(1)))
            throw Exception("不能恢复注册表键 " + RegistryRootUserText(entry.Flags) + "\\" + text(0));
        break;
    default: Skip("a kind of a later version, left alone"); break;
    }
}

void UndoRun::UndoProgManItem(const std::string& group, const std::string& item) {
    // Groups and items are a convenience: whatever goes wrong with them
    // (no Program Manager, a refused command) neither stops nor fails the run.
    try {
        progman_.Remove(group, item);
    } catch (const std::exception&) {
        Skip("the Program Manager could not be asked: " + CurrentExceptionText());
    } catch (...) {
        Skip("the Program Manager could not be asked");
    }
}

}  // namespace qv
