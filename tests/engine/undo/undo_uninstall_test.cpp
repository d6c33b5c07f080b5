// What uninstalling does beyond a rollback: files in use go at the next
// restart with the folders that hold them, read-only files go anyway, INI
// files left with nothing in them are deleted, and an observer hears of
// every entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/undo/undo_changes.h"
#include "testkit/folder_link.h"
#include "testkit/pending_renames.h"
#include "testkit/scratch.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::Exists;
using test::MakeFolder;
using test::ScratchFolder;
using test::WriteText;

using test::PendingRenames;

bool PendingDeletion(const std::string& path) { return PendingRenames::Holds(path, ""); }

struct Heard final : IUndoObserver {
    void EntryUndone(const TUndoEntryResult& r) override {
        results.push_back({r.Number, r.Total, r.Outcome, EntryString(r.Entry, 0), r.ErrorCode, r.UserReason});
    }
    struct Result {
        std::size_t Number, Total;
        TUndoOutcome Outcome;
        std::string Path;
        unsigned long Error;
        std::string UserReason;
    };
    std::vector<Result> results;
};

TEST(UndoUninstall, AFileInUseGoesAtTheRestartWithItsFolderAndAReadOnlyFileGoesNow) {
    ScratchFolder root("undo in use");
    const std::string app = root.file("应用"), busy = app + "\\busy.dll", locked = app + "\\只读.txt";
    const std::string other = root.file("other"), otherFile = other + "\\kept.txt";
    const PendingRenames restoreAfterwards;
    TUndoChanges undo;
    MakeFolder(app);
    undo.AddEntry(ekFolder, {app}, 0);
    WriteText(busy);
    undo.AddEntry(ekFile, {busy, ""}, 0);
    WriteText(locked);
    SetFileAttributesW(Widen(locked).c_str(), FILE_ATTRIBUTE_READONLY);
    undo.AddEntry(ekFile, {locked, ""}, 0);
    MakeFolder(other);
    undo.AddEntry(ekFolder, {other}, 0);
    WriteText(otherFile);  // the user's

    // Held as a running program holds its libraries: no deletion meanwhile.
    UniqueHFile holder(CreateFileW(Widen(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    Heard heard;
    EXPECT_TRUE(undo.UndoAll(true, &heard)) << "a file that goes at the restart is no failure";
    holder.reset();

    EXPECT_FALSE(Exists(locked)) << "read-only does not keep an installed file";
    EXPECT_TRUE(Exists(busy));
    EXPECT_TRUE(PendingDeletion(busy));
    EXPECT_TRUE(PendingDeletion(app)) << "its folder goes after it";
    EXPECT_FALSE(PendingDeletion(other)) << "a folder with the user's files is no business of the restart";
    EXPECT_TRUE(Exists(otherFile));

    ASSERT_EQ(heard.results.size(), 4u);
    // Newest first, numbered in the order recorded.
    EXPECT_EQ(heard.results[0].Number, 4u);
    EXPECT_EQ(heard.results[0].Total, 4u);
    EXPECT_EQ(heard.results[0].Outcome, TUndoOutcome::PassedOver);
    EXPECT_EQ(heard.results[1].Outcome, TUndoOutcome::Undone);
    EXPECT_EQ(heard.results[2].Path, busy);
    EXPECT_EQ(heard.results[2].Outcome, TUndoOutcome::AtRestart);
    EXPECT_EQ(heard.results[3].Number, 1u);
    EXPECT_EQ(heard.results[3].Outcome, TUndoOutcome::AtRestart);
}

TEST(UndoUninstall, ARollbackNeverSchedulesAndSaysWhyAFileStayed) {
    ScratchFolder root("undo rollback in use");
    const std::string busy = root.file("busy.dll");
    WriteText(busy);
    const PendingRenames restoreAfterwards;
    TUndoChanges undo;
    undo.AddEntry(ekFile, {busy, ""}, 0);
    UniqueHFile holder(CreateFileW(Widen(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    Heard heard;
    EXPECT_FALSE(undo.UndoAll(false, &heard));
    holder.reset();
    EXPECT_FALSE(PendingDeletion(busy));
    ASSERT_EQ(heard.results.size(), 1u);
    EXPECT_EQ(heard.results[0].Outcome, TUndoOutcome::Failed);
    EXPECT_NE(heard.results[0].Error, 0u) << "the Windows error travels with the failure";
}

TEST(UndoUninstall, ALoadedLibraryIsInUseThoughWindowsSaysAccessDenied) {
    ScratchFolder root("undo loaded");
    const test::UnregisterProbe probe(root.file("unregister.log"));
    const std::string library = root.file("loaded.dll");
    probe.CopyTo(library);
    const PendingRenames restoreAfterwards;
    TUndoChanges undo;
    undo.AddEntry(ekFile, {library, ""}, 0);
    const UniqueHModule loaded(LoadLibraryW(Widen(library).c_str()));
    ASSERT_TRUE(loaded);
    ASSERT_FALSE(DeleteFileW(Widen(library).c_str()));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    Heard heard;
    EXPECT_TRUE(undo.UndoAll(true, &heard));
    ASSERT_EQ(heard.results.size(), 1u);
    EXPECT_EQ(heard.results[0].Outcome, TUndoOutcome::AtRestart);
    EXPECT_TRUE(PendingDeletion(library));
}

TEST(UndoUninstall, ALibraryThatCrashesWhileUnregisteringFailsInTheUsersWordsAndStillGoes) {
    ScratchFolder root("undo crash");
    const test::UnregisterProbe probe(root.file("unregister.log"));
    const std::string library = root.file("崩溃.ocx"), older = root.file("older.txt");
    probe.CopyTo(library);
    WriteText(older);
    TUndoChanges undo;
    undo.AddEntry(ekFile, {older, ""}, 0);
    undo.AddEntry(ekFile, {library, ""}, efSelfUnregister);
    const test::ScopedEnvVar crash("QV_UNREGISTER_STATUS", "crash");
    Heard heard;
    EXPECT_FALSE(undo.UndoAll(true, &heard));
    ASSERT_EQ(heard.results.size(), 2u);
    EXPECT_EQ(heard.results[0].Outcome, TUndoOutcome::Failed);
    EXPECT_EQ(heard.results[0].UserReason, "不能注销DLL/OCX：DLL注销服务异常终止，代码 0xC0000005。");
    EXPECT_EQ(probe.Calls(), std::vector<std::string>{library}) << "it was called, in a process of its own";
    EXPECT_FALSE(Exists(library));
    EXPECT_FALSE(Exists(older));
}

TEST(UndoUninstall, AnIniFileLeftWithNothingIsDeletedAndOneWithAnythingLeftStays) {
    ScratchFolder root("undo ini files");
    const std::string only = root.file("only.ini"), commented = root.file("commented.ini"), shared = root.file("shared.ini");
    WriteText(only, "[App]\r\nHome=C:\\App\r\n");
    WriteText(commented, "; the user's notes\r\n[App]\r\nHome=C:\\App\r\n");
    WriteText(shared, "[App]\r\nHome=C:\\App\r\n[Other]\r\nx=1\r\n");
    const std::string rolledBack = root.file("rolled back.ini");
    WriteText(rolledBack, "[App]\r\nHome=C:\\App\r\n");

    TUndoChanges undo;
    undo.AddEntry(ekIniKey, {only, "App", "Home"}, 0);
    undo.AddEntry(ekIniSection, {commented, "App"}, 0);
    undo.AddEntry(ekIniSection, {shared, "App"}, 0);
    EXPECT_TRUE(undo.UndoAll(true));
    EXPECT_FALSE(Exists(only));
    EXPECT_TRUE(Exists(commented));
    EXPECT_TRUE(Exists(shared));

    TUndoChanges rollback;
    rollback.AddEntry(ekIniSection, {rolledBack, "App"}, 0);
    EXPECT_TRUE(rollback.UndoAll(false));
    EXPECT_TRUE(Exists(rolledBack)) << "a rollback leaves the file to what was there before";
}

TEST(UndoUninstall, AFolderThatBecameALinkIsNotFollowed) {
    ScratchFolder root("undo link");
    const std::string app = root.file("app"), sub = app + "\\sub", elsewhere = root.file("elsewhere");
    MakeFolder(app);
    MakeFolder(elsewhere);
    WriteText(elsewhere + "\\x.dll", "not the installation's");
    TUndoChanges undo;
    undo.AddEntry(ekFolder, {app}, 0);
    undo.AddEntry(ekFolder, {sub}, 0);
    undo.AddEntry(ekFile, {sub + "\\x.dll", ""}, 0);
    // Since the installation, sub has been replaced by a link to elsewhere.
    if (!test::MakeFolderLink(sub, elsewhere) || !Exists(sub + "\\x.dll")) {
        test::RemoveFolderLink(sub);
        GTEST_SKIP() << "this system makes no directory links that lead anywhere";
    }
    Heard heard;
    EXPECT_FALSE(undo.UndoAll(true, &heard));
    EXPECT_TRUE(Exists(elsewhere + "\\x.dll"));
    EXPECT_TRUE(Exists(sub)) << "the link is not the installation's either";
    ASSERT_EQ(heard.results.size(), 3u);
    EXPECT_EQ(heard.results[0].UserReason, "路径上的 " + sub + " 是链接或联接点，没有跟随");
    EXPECT_EQ(heard.results[1].UserReason, "它现在是链接或联接点，没有改动");
    test::RemoveFolderLink(sub);
}

}  // namespace
}  // namespace qv
