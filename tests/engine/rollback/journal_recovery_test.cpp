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

    // A per-user journal of `appName` with `facts`, the journal left open.
    // A file a FileWasAbsent names is made, as its change would.
    void WriteJournal(const std::string& appName, const std::vector<JournalFact>& facts) {
        runFolder_ = CreateRunFolder(false);
        file_ = TJournalFile::CreateNew(runFolder_ + "\\" + kJournalFileName);
        JournalHeader header;
        header.ProcessId = 1;
        header.AppName = appName;
        JournalWriter writer(*file_, header);
        std::uint32_t change = 0;
        for (const JournalFact& fact : facts) {
            writer.WriteAhead(++change, fact);
            if (const auto* absent = std::get_if<FileWasAbsent>(&fact)) test::WriteFileBytes(absent->Path, {'n', 'e', 'w'});
            writer.MarkDone(change);
        }
    }
    void WriteJournal(const std::string& appName, const std::vector<std::string>& made) {
        std::vector<JournalFact> facts;
        for (const std::string& path : made) facts.push_back(FileWasAbsent{path, 0});
        WriteJournal(appName, facts);
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
    // The box names the application; the table answered it.
    EXPECT_NE(log.find("“仍在安装的程序”的上一次安装没有完成。设置程序已撤消了它对计算机所作的更改。"), std::string::npos)
        << log;
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
    EXPECT_NE(log.find("这次安装的回滚信息已损坏"), std::string::npos) << log;

    // Kept, it is not taken up again.
    EXPECT_EQ(Recover(log), exit_code::Success) << log;
    EXPECT_TRUE(FileExists(made[1]));
}

// A file in use is replaced at the restart: its move aside was written
// ahead, failed, and never happened. The original in its place is no
// failure; a different file there without its backup is one.
TEST_F(JournalRecovery, AFileNeverMovedAsideStaysAndOneWhoseBackupIsLostIsReported) {
    const std::string inUse = files_.file("在用.dll"), replaced = files_.file("已替换.dll");
    test::WriteFileBytes(inUse, {'o', 'l', 'd'});
    test::WriteFileBytes(replaced, {'o', 'l', 'd'});
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    ASSERT_TRUE(GetFileAttributesExW(Widen(inUse).c_str(), GetFileExInfoStandard, &facts));
    const auto moved = [&](const std::string& path, const std::string& backup) {
        return FileMovedAside{path,
                              backup,
                              facts.dwFileAttributes,
                              0,
                              (std::uint64_t{facts.ftLastWriteTime.dwHighDateTime} << 32) | facts.ftLastWriteTime.dwLowDateTime,
                              3};
    };
    WriteJournal("替换文件的安装", {moved(inUse, files_.file("qv-never.bak")), moved(replaced, files_.file("qv-lost.bak"))});
    test::WriteFileBytes(replaced, {'t', 'h', 'e', ' ', 'n', 'e', 'w'});
    file_.reset();

    std::string log;
    EXPECT_EQ(Recover(log), exit_code::FatalError) << log;
    EXPECT_EQ(test::ReadFileBytes(inUse), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    EXPECT_NE(log.find("1 could not be undone"), std::string::npos) << log;
    EXPECT_NE(log.find("已替换.dll"), std::string::npos) << log;
    EXPECT_TRUE(FileExists(runFolder_ + "\\" + kFailedJournalFileName));
}

}  // namespace
}  // namespace qv
