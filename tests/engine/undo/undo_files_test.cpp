// Folders and files undone on a real file tree, rolling back and uninstalling.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "engine/common/folders.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/restart_replace.h"
#include "engine/undo/undo_changes.h"
#include "testkit/pending_renames.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::Exists;
using test::MakeFolder;
using test::ScratchFolder;
using test::WriteText;

// An installation into app\: it made app\ and app\sub\, installed
// sub\new.dll, replaced old.txt, left the new busy.exe and the new shared
// shared.dll (which another installation uses too) waiting in temporary
// files for the restart, and listed readme.txt (which the application
// wrote later) for the uninstaller. keep\ it made too, but the user has put
// a file there since. Another program waits for the restart as well.
struct InstalledTree {
    explicit InstalledTree(TUndoChanges& undo) {
        bool restartNeeded = false;
        WriteText(othersTemp);
        RestartReplace(othersTemp, "", "", restartNeeded);
        MakeFolder(app);
        undo.AddEntry(ekFolder, {app}, 0);
        MakeFolder(sub);
        undo.AddEntry(ekFolder, {sub}, 0);
        WriteText(newDll);
        undo.AddEntry(ekFile, {newDll, ""}, 0);
        WriteText(oldTxt);
        undo.AddEntry(ekFile, {oldTxt, ""}, efWasPresent);
        WriteText(busyExe);
        WriteText(pendingTemp);
        RestartReplace(pendingTemp, busyExe, "", restartNeeded);
        undo.AddEntry(ekFile, {busyExe, pendingTemp}, efWasPresent);
        WriteText(sharedDll);
        WriteText(sharedTemp);
        RestartReplace(sharedTemp, sharedDll, "", restartNeeded);
        counts.Store(sharedDll, test::Dword(2));
        undo.AddEntry(ekFile, {sharedDll, sharedTemp}, efSharedCount);
        MakeFolder(keep);
        undo.AddEntry(ekFolder, {keep}, 0);
        WriteText(keep + "\\user.txt");
        undo.AddEntry(ekFile, {readme, ""}, efUninstallOnly);
        WriteText(readme);
    }

    ScratchFolder root{"undo files"};
    std::string app = root.file("应用"), sub = app + "\\sub", newDll = sub + "\\new.dll";
    std::string oldTxt = app + "\\old.txt", busyExe = app + "\\busy.exe", pendingTemp = app + "\\qv-00001.tmp";
    std::string readme = app + "\\readme.txt", keep = root.file("keep");
    std::string sharedDll = app + "\\shared.dll", sharedTemp = app + "\\qv-00002.tmp";
    std::string othersTemp = root.file("others.tmp");
    const test::PendingRenames restoreAfterwards;
    test::SharedCounts counts;

    // What waits for the restart is the other program's alone, and the
    // shared file keeps the other installation's count.
    void ExpectNoReplacementWaits() const {
        for (const auto& temp : {pendingTemp, sharedTemp}) EXPECT_FALSE(Exists(temp)) << temp;
        EXPECT_FALSE(test::PendingRenames::Holds(pendingTemp, busyExe));
        EXPECT_FALSE(test::PendingRenames::Holds(sharedTemp, sharedDll));
        EXPECT_TRUE(test::PendingRenames::Holds(othersTemp, ""));
        EXPECT_TRUE(Exists(sharedDll));
        EXPECT_EQ(counts.Stored(sharedDll), test::Dword(1));
    }
};

TEST(UndoFiles, RollbackRemovesWhatTheInstallationAddedAndKeepsWhatWasThere) {
    TUndoChanges undo;
    const InstalledTree tree(undo);
    EXPECT_TRUE(undo.UndoAll(false));
    EXPECT_TRUE(undo.Empty());
    EXPECT_FALSE(Exists(tree.newDll));
    EXPECT_FALSE(Exists(tree.sub));  // its file went first
    EXPECT_TRUE(Exists(tree.oldTxt));
    EXPECT_TRUE(Exists(tree.busyExe));
    tree.ExpectNoReplacementWaits();
    EXPECT_TRUE(Exists(tree.readme));  // only the uninstaller deletes it
    EXPECT_TRUE(Exists(tree.app));     // it still holds files
    EXPECT_TRUE(Exists(tree.keep + "\\user.txt"));
}

TEST(UndoFiles, UninstallingDeletesTheFilesThemselvesAndTheUninstallOnlyPaths) {
    TUndoChanges undo;
    const InstalledTree tree(undo);
    EXPECT_TRUE(undo.UndoAll(true));
    EXPECT_FALSE(Exists(tree.newDll));
    EXPECT_FALSE(Exists(tree.sub));
    EXPECT_FALSE(Exists(tree.oldTxt));
    EXPECT_FALSE(Exists(tree.busyExe));
    // Uninstalled before the restart: the new versions never arrive.
    tree.ExpectNoReplacementWaits();
    EXPECT_FALSE(Exists(tree.readme));
    EXPECT_TRUE(Exists(tree.app));
    EXPECT_TRUE(Exists(tree.keep + "\\user.txt"));
}

TEST(UndoFiles, HelpFilesTakeTheirIndexFilesAlong) {
    ScratchFolder root("undo help");
    for (const char* name : {"guide.HLP", "guide.GID", "guide.FTS", "gone.gid", "gone.fts", "notes.txt", "notes.GID"})
        WriteText(root.file(name));
    TUndoChanges undo;
    undo.AddEntry(ekFile, {root.file("guide.HLP"), ""}, 0);
    undo.AddEntry(ekFile, {root.file("gone.hlp"), ""}, 0);  // the help file itself is gone already
    undo.AddEntry(ekFile, {root.file("notes.txt"), ""}, 0);
    EXPECT_TRUE(undo.UndoAll(false));
    EXPECT_EQ(test::ListFolder(root.path()), (std::vector<std::string>{"notes.GID"}));
}

TEST(UndoFiles, RemovingAFolderMovesTheCurrentDirectoryToWindows) {
    ScratchFolder root("undo cwd");
    const test::CurrentDirectoryScope restore;
    const std::string app = root.file("app");
    MakeFolder(app);
    SetCurrentDirectoryW(Widen(root.path()).c_str());
    TUndoChanges undo;
    undo.AddEntry(ekFolder, {root.file("never made")}, 0);
    EXPECT_TRUE(undo.UndoAll(false));
    EXPECT_EQ(lstrcmpiW(Widen(test::CurrentDirectory()).c_str(), Widen(root.path()).c_str()), 0)
        << "no folder was found, so the current directory stays";

    SetCurrentDirectoryW(Widen(app).c_str());
    undo.AddEntry(ekFolder, {app}, 0);
    EXPECT_TRUE(undo.UndoAll(false));
    EXPECT_FALSE(Exists(app));
    EXPECT_EQ(lstrcmpiW(Widen(test::CurrentDirectory()).c_str(), Widen(WindowsFolder()).c_str()), 0)
        << test::CurrentDirectory();
}

TEST(UndoFiles, TheShellHearsOfLinksAndFoldersAndRereadsEachParentOnceAtTheEnd) {
    ScratchFolder root("undo shell");
    const std::string programs = root.file("Programs"), desktop = root.file("Desktop");
    const std::string group = programs + "\\组", group2 = programs + "\\Tools", kept = programs + "\\Kept";
    const std::string link1 = group + "\\One.lnk", link2 = group + "\\Two.lnk", desktopLink = desktop + "\\App.lnk";
    for (const auto& folder : {programs, desktop, group, group2, kept}) MakeFolder(folder);
    for (const auto& file : {link1, link2, desktopLink, root.file("plain.txt"), kept + "\\mine.txt"}) WriteText(file);

    TUndoChanges undo;
    undo.AddEntry(ekFolder, {group}, efFolderNotify);
    undo.AddEntry(ekFile, {link1, ""}, efNotifyShell);
    undo.AddEntry(ekFile, {link2, ""}, efNotifyShell);
    undo.AddEntry(ekFolder, {group2}, efFolderNotify);
    undo.AddEntry(ekFile, {desktopLink, ""}, efNotifyShell);
    undo.AddEntry(ekFile, {root.file("plain.txt"), ""}, 0);
    undo.AddEntry(ekFolder, {kept}, efFolderNotify);  // holds the user's file: stays, nothing to tell

    test::ShellNotifications shell;
    EXPECT_TRUE(undo.UndoAll(false));
    // The group folder went too, so it is not re-read; the others are, once each.
    EXPECT_EQ(shell.Take(), (std::vector<test::ShellEvent>{{SHCNE_DELETE, desktopLink},
                                                           {SHCNE_RMDIR, group2},
                                                           {SHCNE_DELETE, link2},
                                                           {SHCNE_DELETE, link1},
                                                           {SHCNE_RMDIR, group},
                                                           {SHCNE_UPDATEDIR, desktop},
                                                           {SHCNE_UPDATEDIR, programs}}));
    EXPECT_TRUE(Exists(kept + "\\mine.txt"));
}

// Removes a folder a little later, from another thread, as the system
// does with a folder that something still held open.
class LateRemoval {
public:
    explicit LateRemoval(const std::string& folder) : folder_(Widen(folder)) {
        thread_ = CreateThread(nullptr, 0, &LateRemoval::Run, this, 0, nullptr);
    }
    ~LateRemoval() {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    LateRemoval(const LateRemoval&) = delete;
    LateRemoval& operator=(const LateRemoval&) = delete;

private:
    static DWORD WINAPI Run(void* self) {
        Sleep(600);
        RemoveDirectoryW(static_cast<LateRemoval*>(self)->folder_.c_str());
        return 0;
    }
    std::wstring folder_;
    HANDLE thread_ = nullptr;
};

// The parent of a removed subfolder that lingers: uninstalling asks about
// a shared file between the two entries, and while the question is on the
// screen the subfolder comes back.
struct LingeringSubfolder {
    LingeringSubfolder() {
        MakeFolder(app);
        undo.AddEntry(ekFile, {older, ""}, 0);
        WriteText(older);
        undo.AddEntry(ekFolder, {app}, 0);
        WriteText(shared);
        counts.Store(shared, test::Dword(1));
        undo.AddEntry(ekFile, {shared, ""}, efSharedCount);
        MakeFolder(sub);
        undo.AddEntry(ekFolder, {sub}, 0);
    }

    ScratchFolder root{"undo wait"};
    std::string app = root.file("app"), sub = app + "\\sub", shared = root.file("shared.dll");
    std::string older = root.file("older.txt");
    test::SharedCounts counts;
    TUndoChanges undo;
};

TEST(UndoFiles, AFolderWaitsForItsRemovedSubfoldersToVanish) {
    LingeringSubfolder tree;
    std::unique_ptr<LateRemoval> removal;
    test::ScriptedBoxes boxes(IDNO);
    boxes.duringBox = [&] {
        MakeFolder(tree.sub);
        removal = std::make_unique<LateRemoval>(tree.sub);
    };
    EXPECT_TRUE(tree.undo.UndoAll(true));
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_FALSE(Exists(tree.sub));
    EXPECT_FALSE(Exists(tree.app));  // removed once its subfolder had vanished
    EXPECT_TRUE(Exists(tree.shared));
    EXPECT_FALSE(Exists(tree.older));
}

TEST(UndoFiles, AFolderWhoseSubfolderStaysIsLeftAfterAFewSecondsAndTheRunGoesOn) {
    LingeringSubfolder tree;
    test::ScriptedBoxes boxes(IDNO);
    boxes.duringBox = [&] { MakeFolder(tree.sub); };
    EXPECT_TRUE(tree.undo.UndoAll(true));  // a folder that cannot go is no failure
    EXPECT_TRUE(Exists(tree.sub));
    EXPECT_TRUE(Exists(tree.app));
    EXPECT_FALSE(Exists(tree.older));
}

}  // namespace
}  // namespace qv
