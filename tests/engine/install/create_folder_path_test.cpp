#include <gtest/gtest.h>

#include <windows.h>

#include "core/scope_exit.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/install/create_folder_path.h"
#include "engine/journal/run_journal.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

struct RecordedFolder {
    std::string Path;
    std::uint32_t Flags;
    bool operator==(const RecordedFolder& other) const { return Path == other.Path && Flags == other.Flags; }
};

std::vector<RecordedFolder> FoldersIn(const TUndoChanges& undo) {
    std::vector<RecordedFolder> folders;
    for (const TChangeEntry& entry : undo.Entries()) {
        EXPECT_EQ(entry.Kind, ekFolder);
        folders.push_back({EntryString(entry, 0), entry.Flags});
    }
    return folders;
}

std::ostream& operator<<(std::ostream& out, const RecordedFolder& folder) {
    return out << folder.Path << " flags " << folder.Flags;
}

TEST(CreateFolderPath, CreatesTheMissingParentsFirstAndRecordsEachOnce) {
    ScratchFolder scratch;
    TUndoChanges undo;
    std::vector<std::string> removeAtEnd;
    const std::string a = scratch.file("a 目录"), b = a + "\\b", c = b + "\\c";
    CreateFolderPath(c + "\\", 0, undo, removeAtEnd);
    EXPECT_TRUE(FolderExists(c));
    // The scratch folder was there: only what was made is undone, child first.
    EXPECT_EQ(FoldersIn(undo), (std::vector<RecordedFolder>{{a, 0}, {b, 0}, {c, 0}}));
    EXPECT_TRUE(removeAtEnd.empty());

    CreateFolderPath(c, 0, undo, removeAtEnd);
    EXPECT_EQ(undo.Entries().size(), 3u);
}

TEST(CreateFolderPath, TheFlagsChooseWhereTheFoldersAreRecorded) {
    ScratchFolder scratch;
    TUndoChanges undo;
    std::vector<std::string> removeAtEnd;
    {
        TRunJournal journal("qv folders", scratch.path(), false);
        CreateFolderPath(scratch.file("quiet\\inner"), cfNoUninstall, undo, removeAtEnd, &journal);
        EXPECT_TRUE(FolderExists(scratch.file("quiet\\inner")));
        // For a rollback only: the uninstall log never holds them, nor the
        // undo log, which carries what the uninstall log will.
        EXPECT_TRUE(undo.Empty());
        EXPECT_TRUE(removeAtEnd.empty());
        EXPECT_TRUE(journal.RollBack().AllUndone());
        journal.Discard();
    }
    EXPECT_FALSE(FolderExists(scratch.file("quiet")));

    CreateFolderPath(scratch.file("later\\inner"), cfRemoveAtEnd, undo, removeAtEnd);
    EXPECT_TRUE(undo.Empty());
    EXPECT_EQ(removeAtEnd, (std::vector<std::string>{scratch.file("later"), scratch.file("later\\inner")}));

    // The end of the run, not the undo log, takes them, even with both flags.
    removeAtEnd.clear();
    CreateFolderPath(scratch.file("both"), cfNoUninstall | cfRemoveAtEnd, undo, removeAtEnd);
    EXPECT_TRUE(undo.Empty());
    EXPECT_EQ(removeAtEnd, std::vector<std::string>{scratch.file("both")});

    CreateFolderPath(scratch.file("links\\group"), cfNotifyShell, undo, removeAtEnd);
    EXPECT_EQ(FoldersIn(undo), (std::vector<RecordedFolder>{{scratch.file("links"), efFolderNotify},
                                                             {scratch.file("links\\group"), efFolderNotify}}));
}

TEST(CreateFolderPath, ARelativeFolderIsRecordedWithItsFullPath) {
    ScratchFolder scratch;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    const ScopeExit restore([&] { SetCurrentDirectoryW(previous); });
    ASSERT_TRUE(SetCurrentDirectoryW(Widen(scratch.path()).c_str()));

    TUndoChanges undo;
    std::vector<std::string> removeAtEnd;
    CreateFolderPath("rel\\sub", 0, undo, removeAtEnd);
    EXPECT_EQ(FoldersIn(undo),
              (std::vector<RecordedFolder>{{scratch.file("rel"), 0}, {scratch.file("rel\\sub"), 0}}));
}

TEST(CreateFolderPath, RootsAndExistingFoldersNeedNothing) {
    TUndoChanges undo;
    std::vector<std::string> removeAtEnd;
    CreateFolderPath("C:\\", 0, undo, removeAtEnd);
    CreateFolderPath("C:", 0, undo, removeAtEnd);
    CreateFolderPath("", 0, undo, removeAtEnd);
    ScratchFolder scratch;
    CreateFolderPath(scratch.path() + "\\", 0, undo, removeAtEnd);
    EXPECT_TRUE(undo.Empty());
}

TEST(CreateFolderPath, AFolderThatCannotBeMadeIsNamedAndTheMadeOnesStayRecorded) {
    ScratchFolder scratch;
    const std::string made = scratch.file("made");
    ASSERT_TRUE(CreateDirectoryW(Widen(made).c_str(), nullptr));
    test::WriteFileBytes(made + "\\blocker", {1});
    TUndoChanges undo;
    std::vector<std::string> removeAtEnd;
    try {
        CreateFolderPath(scratch.file("new\\x"), 0, undo, removeAtEnd);
        CreateFolderPath(made + "\\blocker\\inner", 0, undo, removeAtEnd);
        FAIL() << "a file took the folder's place";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()), "设置程序不能创建文件夹 \"" + made + "\\blocker\"");
    }
    EXPECT_EQ(FoldersIn(undo), (std::vector<RecordedFolder>{{scratch.file("new"), 0}, {scratch.file("new\\x"), 0}}));
}

}  // namespace
}  // namespace qv
