// Setup.exe /RECOVER against journals written here: one whose installation
// still runs (its file held open without sharing, as a running Setup.exe
// holds it) is left alone, and a damaged one is rolled back as far as it
// can be read, with the rest kept and reported.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/journal/journal_reader.h"
#include "core/journal/journal_writer.h"
#include "engine/common/exit_codes.h"
#include "engine/common/path_tests.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/journal/journal_file.h"
#include "engine/journal/journal_folders.h"
#include "../setup/setup_exe_fixture.h"

namespace qv {
namespace {

using namespace journal;

class JournalRecovery : public test::SetupExeWindow {
protected:
    void TearDown() override {
        test::SetupExeWindow::TearDown();
        file_.reset();
        if (!runFolder_.empty()) DeleteFolderTree(runFolder_);
    }

    // A per-user journal of `appName` whose installation made the files
    // `made`, one change each, the journal left open.
    void WriteJournal(const std::string& appName, const std::vector<std::string>& made) {
        runFolder_ = CreateRunFolder(false);
        file_ = TJournalFile::CreateNew(runFolder_ + "\\" + kJournalFileName);
        JournalHeader header;
        header.ProcessId = 1;
        header.AppName = appName;
        JournalWriter writer(*file_, header);
        std::uint32_t change = 0;
        for (const std::string& path : made) {
            writer.WriteAhead(++change, FileWasAbsent{path, 0});
            test::WriteFileBytes(path, {'n', 'e', 'w'});
            writer.MarkDone(change);
        }
    }

    DWORD Recover(std::string& log) {
        const std::string logFile = logs_.file("recover.log");
        DeleteFileW(Widen(logFile).c_str());
        if (process_) CloseHandle(std::exchange(process_, nullptr));
        const DWORD code = RunToEnd("/RECOVER /SUPPRESSMSGBOXES \"/LOG=" + logFile + "\"");
        const std::vector<std::uint8_t> bytes = FileExists(logFile) ? test::ReadFileBytes(logFile) : std::vector<std::uint8_t>{};
        log.assign(bytes.begin(), bytes.end());
        return code;
    }

    test::ScratchFolder files_{"qv 恢复"};
    test::ScratchFolder logs_{"qv 恢复日志"};
    std::string runFolder_;
    std::unique_ptr<TJournalFile> file_;
};

// Two installations at once: the recovery that one starts must not roll
// back the other, which still runs and holds its journal.
TEST_F(JournalRecovery, ALivingInstallationsJournalIsLeftAloneAndADeadOnesIsRolledBack) {
    const std::string made = files_.file("程序.exe");
    WriteJournal("仍在安装的程序", {made});
    std::string log;
    EXPECT_EQ(Recover(log), exit_code::Success) << log;
    EXPECT_TRUE(FileExists(made));
    EXPECT_TRUE(FileExists(runFolder_ + "\\" + kJournalFileName));
    EXPECT_NE(log.find("held by its running installation"), std::string::npos) << log;

    file_.reset();  // the installation dies
    EXPECT_EQ(Recover(log), exit_code::Success) << log;
    EXPECT_FALSE(FileExists(made));
    EXPECT_FALSE(FolderExists(runFolder_));
    EXPECT_NE(log.find("rolled back the installation of \"仍在安装的程序\""), std::string::npos) << log;
}

// A record spoilt in the middle: the records around it are undone, its
// change stays, and the journal stays with its run folder, renamed, so that
// nobody loses what it still names.
TEST_F(JournalRecovery, ADamagedJournalIsRolledBackAsFarAsItReadsAndKept) {
    const std::vector<std::string> made = {files_.file("a.dat"), files_.file("b.dat"), files_.file("c.dat")};
    WriteJournal("损坏的安装", made);
    file_.reset();
    const std::string journalPath = runFolder_ + "\\" + kJournalFileName;
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(journalPath);
    const JournalReading sound = ReadJournal(bytes);
    ASSERT_TRUE(sound.Sound());
    // The body of b's record, after its frame header and kind byte.
    std::uint64_t recordOfB = 0;
    for (const JournalEntry& entry : sound.Records)
        if (const auto* absent = std::get_if<FileWasAbsent>(&entry.Record.Fact))
            if (absent->Path == made[1]) recordOfB = entry.Offset;
    ASSERT_NE(recordOfB, 0u);
    bytes[recordOfB + kFrameHeaderSize + 8] ^= 0x55;
    test::WriteFileBytes(journalPath, bytes);

    std::string log;
    EXPECT_EQ(Recover(log), exit_code::FatalError) << log;
    EXPECT_FALSE(FileExists(made[0]));
    EXPECT_TRUE(FileExists(made[1]));
    EXPECT_FALSE(FileExists(made[2]));
    EXPECT_TRUE(FileExists(runFolder_ + "\\" + kDamagedJournalFileName));
    EXPECT_NE(log.find("the journal is damaged (damage at offset " + std::to_string(recordOfB)), std::string::npos)
        << log;

    // Kept, it is not taken up again.
    EXPECT_EQ(Recover(log), exit_code::Success) << log;
    EXPECT_TRUE(FileExists(made[1]));
}

}  // namespace
}  // namespace qv
