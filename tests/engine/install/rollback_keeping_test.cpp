// What the installation keeps of the files it replaces, and the rollback
// that puts them back: on the same drive by a move, across drives by a
// copy that carries the original's times and attributes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/common/install_log.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "install_bench.h"
#include "testkit/machine_snapshot.h"

namespace qv {
namespace {

// A file of the user's where the setup installs a new one.
void PutOldFile(const std::string& path) {
    test::WriteFileBytes(path, test::Bytes("the old version"));
    SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    test::SetLastWriteTime(path, test::UtcOfLocal(test::BenchFileTime() - 864000000000ull));
}

// The undo log carries what the uninstall log will: the installed file,
// marked as one that was there. What it replaced is the journal's.
void ExpectOnlyTheInstalledFile(const TUndoChanges& undo, const std::string& path) {
    ASSERT_EQ(undo.Entries().size(), 1u);
    EXPECT_EQ(undo.Entries()[0].Kind, ekFile);
    EXPECT_EQ(EntryString(undo.Entries()[0], 0), path);
    EXPECT_EQ(undo.Entries()[0].Flags, static_cast<std::uint32_t>(efWasPresent));
}

TEST(RollbackKeeping, AReplacedFileWaitsInTheBackupFolderAndComesBack) {
    test::InstallBench bench({test::MakeBenchFile("a.txt", test::Bytes("the new version"))});
    bench.KeepJournal();
    const std::string backups = bench.run.BackupFolder;
    PutOldFile(bench.AppFile("a.txt"));
    const std::string before = test::FolderSnapshot(bench.app.path());
    test::AnsweredBoxes noQuestions;
    bench.Install();
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("a.txt")), test::Bytes("the new version"));
    ExpectOnlyTheInstalledFile(bench.undo, bench.AppFile("a.txt"));
    EXPECT_EQ(test::ListFolder(backups, "*.bak").size(), 1u);

    EXPECT_TRUE(bench.journal->RollBack().AllUndone());
    EXPECT_EQ(test::FolderSnapshot(bench.app.path()), before);
    EXPECT_TRUE(test::ListFolder(backups, "*.bak").empty()) << "moved back, not copied";
}

TEST(RollbackKeeping, OnAnotherDriveTheBackupIsACopyThatKeepsTheTimesAndAttributes) {
    // Wine's Z: is the whole Linux tree; /dev/shm lies on a file system of
    // its own, so a move from there to the journal on the C: drive is
    // refused as another device.
    const std::string otherDevice = "Z:\\dev\\shm";
    if (!FolderExists(otherDevice)) GTEST_SKIP() << "no folder on another device here";
    // A name of its own: a run that failed before its end leaves its folder
    // there, and Wine gives the next run the same process id.
    std::string app;
    for (DWORD n = GetTickCount();; ++n) {
        app = otherDevice + "\\qv app " + std::to_string(n);
        if (CreateDirectoryW(Widen(app).c_str(), nullptr)) break;
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << app;
    }
    test::InstallBench bench({test::MakeBenchFile("a.txt", test::Bytes("the new version"))});
    bench.run.Folders.App = app;
    bench.KeepJournal();
    const std::string target = app + "\\a.txt";
    PutOldFile(target);
    const std::string before = test::FolderSnapshot(app);
    const std::string log = bench.source.file("install.log");
    ASSERT_TRUE(OpenInstallLog(log));
    {
        test::AnsweredBoxes noQuestions;
        bench.Install();
    }
    CloseInstallLog();
    const std::vector<std::uint8_t> logBytes = test::ReadFileBytes(log);
    EXPECT_NE(std::string(logBytes.begin(), logBytes.end()).find("copied the existing file"), std::string::npos)
        << "kept by a copy, as across drives";
    ExpectOnlyTheInstalledFile(bench.undo, target);
    const std::vector<std::string> copies = test::ListFolder(bench.run.BackupFolder, "*.bak");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(test::ReadFileBytes(bench.run.BackupFolder + "\\" + copies[0]), test::Bytes("the old version"));

    EXPECT_TRUE(bench.RollBack());
    EXPECT_EQ(test::FolderSnapshot(app), before);
    SetFileAttributesW(Widen(target).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Widen(target).c_str());
    RemoveDirectoryW(Widen(app).c_str());
}

}  // namespace
}  // namespace qv
