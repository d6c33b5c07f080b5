#include "engine/journal/journal_undo.h"

#include <windows.h>

#include <optional>
#include <set>

#include "core/errors.h"
#include "core/setupdata/records.h"
#include "core/uninstall/uninstall_log.h"
#include "engine/common/fault_injection.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "core/text/path_strings.h"
#include "core/uninstall/undo_guard_rules.h"
#include "engine/instfunc/shared_file_count.h"
#include "engine/journal/scratch_folder.h"
#include "engine/undo/key_tree_text.h"
#include "engine/undo/rollback_entries.h"
#include "engine/undo/undo_changes.h"
#include "engine/undo/undo_observer.h"
#include "core/text/number_text.h"

namespace qv {

using namespace journal;

namespace {

// What one fact asks of the rollback.
struct TFactUndo {
    enum { Nothing, Entry, Folder, Failure } How = Nothing;
    TChangeEntry UndoEntry;
    std::string Text;  // the folder to delete whole, or the failure
};

TFactUndo EntryOf(TChangeKind kind, const std::vector<std::string>& strings, std::uint32_t flags) {
    TFactUndo undo;
    undo.How = TFactUndo::Entry;
    undo.UndoEntry = TChangeEntry::Make(kind, strings, flags);
    return undo;
}

TFactUndo RestoreValue(std::uint32_t root, const std::string& subKey, const std::string& name,
                       const RegValueData& before) {
    return EntryOf(ekRestoreRegValue,
                   {subKey, name, before.Existed ? "1" : "0", std::to_string(before.Type),
                    HexOfBytes(before.Existed ? before.Data : "")},
                   root);
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> FileFacts(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &facts)) return std::nullopt;
    return facts;
}

std::uint64_t SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& facts) {
    return (std::uint64_t{facts.nFileSizeHigh} << 32) | facts.nFileSizeLow;
}

// The file at the fact's path is the one it describes: the original never
// left (the run died before the move, or the move failed on a file in use
// and the file was replaced at the restart instead).
bool StillInPlace(const FileMovedAside& f) {
    const std::optional<WIN32_FILE_ATTRIBUTE_DATA> facts = FileFacts(f.Path);
    if (!facts) return false;
    const std::uint64_t written =
        (std::uint64_t{facts->ftLastWriteTime.dwHighDateTime} << 32) | facts->ftLastWriteTime.dwLowDateTime;
    return SizeOf(*facts) == f.Size && written == f.LastWriteTime;
}

// What a journal may ask, however it was written: nothing its own
// installation could not have changed.
struct TJournalBounds {
    std::string RunFolder;
    // The files the journal's own facts put in place, as ComparablePath
    // gives them: the only libraries it may have registered.
    std::set<std::string> FilesPlaced;

    TJournalBounds(const std::vector<JournalEntry>& records, const std::string& runFolder) : RunFolder(runFolder) {
        for (const JournalEntry& record : records) {
            if (const auto* absent = std::get_if<FileWasAbsent>(&record.Record.Fact))
                FilesPlaced.insert(ComparablePath(absent->Path));
            else if (const auto* moved = std::get_if<FileMovedAside>(&record.Record.Fact))
                FilesPlaced.insert(ComparablePath(moved->Path));
            else if (const auto* rename = std::get_if<RestartRenameAdded>(&record.Record.Fact))
                FilesPlaced.insert(ComparablePath(rename->Target));
        }
    }

    // Backups are made in the run folder and nowhere else: one elsewhere
    // would move a file of anybody's into the installation's place.
    bool HoldsBackup(const std::string& backup) const {
        return !RunFolder.empty() && CheckUndoPath(backup) == TPathFault::None &&
               ComparablePath(ExtractFileDir(backup)) == ComparablePath(RunFolder);
    }
};

TFactUndo UndoOf(const JournalRecord& record, const TJournalBounds& bounds) {
    struct Visitor {
        const TJournalBounds& Bounds;
        TFactUndo operator()(const FileMovedAside& f) const {
            if (!Bounds.HoldsBackup(f.Backup))
                return {TFactUndo::Failure, {},
                        "被替换的文件 " + f.Path + " 的备份 " + f.Backup + " 不在这次安装的回滚文件夹中，没有放回"};
            const std::optional<WIN32_FILE_ATTRIBUTE_DATA> backup = FileFacts(f.Backup);
            const std::optional<std::uint64_t> size =
                backup ? std::optional<std::uint64_t>(SizeOf(*backup)) : std::nullopt;
            if (!size && StillInPlace(f)) return {};
            if (size && *size != f.Size)
                return {TFactUndo::Failure, {}, "被替换的文件 " + f.Path + " 的备份 " + f.Backup + " 不完整"};
            const std::string facts = HexDigits(f.Attributes, 1, HexLetters::Lower) + " " +
                                      HexDigits(f.CreationTime, 1, HexLetters::Lower) + " " +
                                      HexDigits(f.LastWriteTime, 1, HexLetters::Lower);
            return EntryOf(ekRestoreFile, {f.Path, f.Backup, facts}, 0);
        }
        TFactUndo operator()(const FileWasAbsent& f) const {
            if (f.Flags & jfNotifyShell) return EntryOf(ekFile, {f.Path, ""}, efNotifyShell);
            return EntryOf(ekRemoveNewFile, {f.Path}, 0);
        }
        TFactUndo operator()(const FolderCreated& f) const {
            if (f.Flags & jfWithContents) return {TFactUndo::Folder, {}, f.Path};
            if (f.Flags & jfNotifyShell) return EntryOf(ekFolder, {f.Path}, efFolderNotify);
            return EntryOf(ekRemoveNewFolder, {f.Path}, 0);
        }
        TFactUndo operator()(const IniValueBefore& f) const {
            // This version keeps an INI file whole before changing it
            // (FileMovedAside of a copy) and never writes this kind.
            return {TFactUndo::Failure, {}, "INI 文件 " + f.File + " [" + f.Section + "] " + f.Key};
        }
        TFactUndo operator()(const RegKeyWasAbsent& f) const {
            if (f.Flags & jfWholeTree) return EntryOf(ekRegKeyTree, {f.SubKey}, f.Root);
            return EntryOf(ekRemoveNewKey, {f.SubKey}, f.Root);
        }
        TFactUndo operator()(const RegValueBefore& f) const { return RestoreValue(f.Root, f.SubKey, f.Name, f.Before); }
        TFactUndo operator()(const RegKeyTreeBefore& f) const {
            return EntryOf(ekRestoreKeyTree, {f.SubKey, TextOfRegTree(f.Keys)}, f.Root);
        }
        TFactUndo operator()(const SharedCountRaised& f) const {
            return RestoreValue(kHkeyLocalMachine, kSharedDllsKeyPath, f.Path, f.Before);
        }
        TFactUndo operator()(const RestartRenameAdded& f) const {
            // The replacement of a file that was there and stays.
            return EntryOf(ekFile, {f.Target, f.Source}, efWasPresent);
        }
        TFactUndo operator()(const LibraryRegistered& f) const {
            // Unregistering runs the library's code with this run's rights.
            if (!Bounds.FilesPlaced.count(ComparablePath(f.Path)))
                return {TFactUndo::Failure, {}, f.Path + " 不是这次安装放置的文件，没有注销"};
            // Unregistered, not deleted: the file goes by its own fact.
            return EntryOf(ekFile, {f.Path, ""}, efSelfUnregister | efUninstallOnly);
        }
        TFactUndo operator()(const ProgManItemAdded& f) const {
            return EntryOf(ekProgManItem, {f.Group, f.Item}, 0);
        }
        TFactUndo operator()(const ChangeDone&) const { return {}; }
        TFactUndo operator()(const RecordUndone&) const { return {}; }
        TFactUndo operator()(const InstallationComplete&) const { return {}; }
    };
    return std::visit(Visitor{bounds}, record.Fact);
}

// Marks each fact once it is undone; a writer that fails stops marking,
// and the rollback goes on (the next recovery finds the rest undone already).
class TUndoneMarks final : public IUndoObserver {
public:
    TUndoneMarks(JournalWriter* writer, TJournalUndoResult& result) : writer_(writer), result_(result) {}

    void Mark(const JournalEntry& record) {
        ++result_.Undone;
        if (writer_) {
            try {
                writer_->MarkUndone(record.Number, record.Record.Change);
            } catch (const std::exception&) {
                LogLine("the journal takes no more marks: " + CurrentExceptionText());
                writer_ = nullptr;
            }
        }
        // A test's plan may end the process here: the next recovery
        // finishes what this one began.
        CountUndoneFact();
    }

    std::vector<const JournalEntry*> Sources;  // of the undo list's entries, oldest first

    void EntryUndone(const TUndoEntryResult& result) override {
        const JournalEntry& record = *Sources.at(result.Number - 1);
        if (result.Outcome == TUndoOutcome::Failed)
            result_.Failures.push_back(SubjectOf(result.Entry) +
                                       (result.UserReason.empty() ? std::string() : "：" + result.UserReason));
        else
            Mark(record);
    }

private:
    static std::string SubjectOf(const TChangeEntry& entry) {
        const std::string first = EntryString(entry, 0);
        switch (static_cast<unsigned>(entry.Kind)) {
        case ekRestoreRegValue:
        case ekRemoveNewKey:
        case ekRestoreKeyTree:
        case ekRegKeyTree: return "注册表 " + RegistryRootUserText(entry.Flags) + "\\" + first;
        default: return first;
        }
    }

    JournalWriter* writer_;
    TJournalUndoResult& result_;
};

}  // namespace

TJournalUndoResult UndoJournalRecords(const std::vector<JournalEntry>& records, JournalWriter* writer,
                                      const std::string& runFolder) {
    const TJournalBounds bounds(records, runFolder);
    std::set<std::uint32_t> undone;
    for (const JournalEntry& record : records)
        if (const auto* mark = std::get_if<RecordUndone>(&record.Record.Fact)) undone.insert(mark->Number);
    TJournalUndoResult result;
    TUndoneMarks marks(writer, result);
    std::vector<TChangeEntry> entries;
    // Whole folders (the run's scratch folder) go last, after everything
    // that may have lain in them.
    std::vector<std::pair<const JournalEntry*, std::string>> wholeFolders;
    for (const JournalEntry& record : records) {
        if (IsMarker(KindOf(record.Record.Fact)) || undone.count(record.Number)) continue;
        TFactUndo undo = UndoOf(record.Record, bounds);
        switch (undo.How) {
        case TFactUndo::Nothing: marks.Mark(record); break;
        case TFactUndo::Entry:
            entries.push_back(std::move(undo.UndoEntry));
            marks.Sources.push_back(&record);
            break;
        case TFactUndo::Folder: wholeFolders.emplace_back(&record, undo.Text); break;
        case TFactUndo::Failure:
            LogLine("journal record #" + std::to_string(record.Number) + " cannot be undone: " + undo.Text);
            result.Failures.push_back(undo.Text);
            break;
        }
    }
    TUndoChanges undoList;
    undoList.AdoptEntries(std::move(entries));
    undoList.UndoAll(false, &marks);
    for (auto it = wholeFolders.rbegin(); it != wholeFolders.rend(); ++it) {
        const TRefusal refusal = DeleteScratchFolder(it->second, runFolder);
        if (!refusal) {
            marks.Mark(*it->first);
            continue;
        }
        LogLine("journal record #" + std::to_string(it->first->Number) + ", the folder " + Quoted(it->second) +
                ": " + refusal.Reason);
        result.Failures.push_back(refusal.UserReason);
    }
    return result;
}

std::vector<RegTreeKey> RegTreeOfText(const std::string& text) { return KeyTreeOfText(text); }

std::string TextOfRegTree(const std::vector<RegTreeKey>& keys) { return TextOfKeyTree(keys); }

}  // namespace qv
