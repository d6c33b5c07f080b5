// What the installation keeps of the files it replaces, and the rollback
// that puts them back: on the same drive by a move, across drives by a
// copy that carries the original's times and attributes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/common/install_log.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/undo/rollback_entries.h"
#include "install_bench.h"
#include "testkit/machine_snapshot.h"

namespace qv {
namespace {

// A file of the user's where the setup installs a new one.
void PutOldFile(test::InstallBench& bench) {
    test::WriteFileBytes(bench.AppFile("a.txt"), test::Bytes("the old version"));
    SetFileAttributesW(Widen(bench.AppFile("a.txt")).c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    test::SetLastWriteTime(bench.AppFile("a.txt"), test::UtcOfLocal(test::BenchFileTime() - 864000000000ull));
}

std::size_t RestoreEntries(const TUndoChanges& undo) {
    std::size_t n = 0;
    for (const TChangeEntry& entry : undo.Entries()) n += entry.Kind == ekRestoreFile;
    return n;
}

TEST(RollbackKeeping, AReplacedFileWaitsInTheBackupFolderAndComesBack) {
    test::InstallBench bench({test::MakeBenchFile("a.txt", test::Bytes("the new version"))});
    test::ScratchFolder backups("qv backups");
    bench.run.BackupFolder = backups.path();
    PutOldFile(bench);
    const std::string before = test::FolderSnapshot(bench.app.path());
    test::AnsweredBoxes noQuestions;
    bench.Install();
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("a.txt")), test::Bytes("the new version"));
    EXPECT_EQ(RestoreEntries(bench.undo), 1u);
    EXPECT_EQ(test::ListFolder(backups.path(), "*.bak").size(), 1u);

    EXPECT_TRUE(bench.undo.UndoAll(false));
    EXPECT_EQ(test::FolderSnapshot(bench.app.path()), before);
    EXPECT_TRUE(test::ListFolder(backups.path(), "*.bak").empty()) << "moved back, not copied";
}

TEST(RollbackKeeping, OnAnotherDriveTheBackupIsACopyThatKeepsTheTimesAndAttributes) {
    // Wine's Z: is the whole Linux tree; /dev/shm lies on a file system of
    // its own, so a move from the C: drive there is refused as another device.
    const std::string otherDevice = "Z:\\dev\\shm";
    if (!FolderExists(otherDevice)) GTEST_SKIP() << "no folder on another device here";
    // A name of its own: a run that failed before its end leaves its folder
    // there, and Wine gives the next run the same process id.
    std::string backups;
    for (DWORD n = GetTickCount();; ++n) {
        backups = otherDevice + "\\qv backups " + std::to_string(n);
        if (CreateDirectoryW(Widen(backups).c_str(), nullptr)) break;
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << backups;
    }
    test::InstallBench bench({test::MakeBenchFile("a.txt", test::Bytes("the new version"))});
    bench.run.BackupFolder = backups;
    PutOldFile(bench);
    const std::string before = test::FolderSnapshot(bench.app.path());
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
    EXPECT_EQ(RestoreEntries(bench.undo), 1u);
    const std::vector<std::string> copies = test::ListFolder(backups, "*.bak");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(test::ReadFileBytes(backups + "\\" + copies[0]), test::Bytes("the old version"));

    EXPECT_TRUE(bench.undo.UndoAll(false));
    EXPECT_EQ(test::FolderSnapshot(bench.app.path()), before);
    RemoveDirectoryW(Widen(backups).c_str());
}

}  // namespace
}  // namespace qv
