// Setup.exe /RECOVER against journals written here: one whose installation
// still runs (its file held open without sharing, as a running Setup.exe
// holds it) is left alone, and a damaged one is rolled back as far as it
// can be read, with the rest kept and reported. Forged journals, in a
// folder the user's programs can write or asking for more than an
// installation could have changed, leave the machine as it was.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <aclapi.h>
#include <sddl.h>

#include "core/journal/journal_reader.h"
#include "core/journal/journal_writer.h"
#include "engine/common/exit_codes.h"
#include "core/text/path_strings.h"
#include "engine/common/path_tests.h"
#include "engine/common/private_folder.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
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
        RemoveEmptyJournalRoots();
    }

    // A journal of `appName` with `facts` in the machine's folder (or with
    // `inUsersFolder` the user's; or in runFolder_ when it is made), the
    // journal left open. A file a
    // FileWasAbsent names is made, as its change would.
    void WriteJournal(const std::string& appName, const std::vector<JournalFact>& facts, bool inUsersFolder = false,
                      std::uint16_t headerFlags = jhPerMachine) {
        if (runFolder_.empty()) runFolder_ = CreateRunFolder(!inUsersFolder);
        file_ = TJournalFile::CreateNew(runFolder_ + "\\" + kJournalFileName);
        JournalHeader header;
        header.Flags = headerFlags;
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
    // The journal's own folders go with it.
    EXPECT_FALSE(FolderExists(ExtractFileDir(JournalRoot(true))));
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
    runFolder_ = CreateRunFolder(true);  // the backups' names, in the journal's own folder
    WriteJournal("替换文件的安装", {moved(inUse, runFolder_ + "\\qv-never.bak"), moved(replaced, runFolder_ + "\\qv-lost.bak")});
    test::WriteFileBytes(replaced, {'t', 'h', 'e', ' ', 'n', 'e', 'w'});
    file_.reset();

    std::string log;
    EXPECT_EQ(Recover(log), exit_code::FatalError) << log;
    EXPECT_EQ(test::ReadFileBytes(inUse), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    EXPECT_NE(log.find("1 could not be undone"), std::string::npos) << log;
    EXPECT_NE(log.find("已替换.dll"), std::string::npos) << log;
    EXPECT_TRUE(FileExists(runFolder_ + "\\" + kFailedJournalFileName));
}

// What the review found written by hand into the user's own folder: a Run
// value of the machine and a file for the system folder. A folder the
// user's programs can write gives no orders to an elevated run, whatever
// its header claims.
TEST_F(JournalRecovery, AJournalInTheUsersFolderIsNoOrderToAnElevatedRun) {
    const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string evil = "C:\\qv\\evil.exe";
    for (const std::uint16_t flags : {std::uint16_t{0}, std::uint16_t{jhPerMachine}}) {
        const std::string made = files_.file("用户的文件.txt");
        WriteJournal("伪造的安装", {FileWasAbsent{made, 0},
                                    RegValueBefore{kHkeyLocalMachine, runKey, "qvnevil",
                                                   RegValueData{true, REG_SZ, std::string(evil.c_str(), evil.size() + 1)}}},
                     true, flags);
        file_.reset();
        std::string log;
        EXPECT_EQ(Recover(log), exit_code::Success) << log;
        EXPECT_TRUE(FileExists(made)) << flags;
        EXPECT_TRUE(FileExists(runFolder_ + "\\" + kJournalFileName)) << flags;
        UniqueHKey run;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(runKey).c_str(), 0, KEY_READ, run.put());
        EXPECT_FALSE(run && RegHasValue(run.get(), "qvnevil")) << flags;
        EXPECT_NE(log.find("left alone: a folder the user's programs can write"), std::string::npos) << log;
        DeleteFolderTree(std::exchange(runFolder_, std::string()));
        DeleteFileW(Widen(made).c_str());
    }
}

// A journal in the machine's folder changes nothing its installation could
// not have changed: no folder it did not make as its scratch folder goes
// whole, no "backup" from elsewhere moves in, and no library it did not
// place is loaded to be unregistered. Each refusal is reported; the
// scratch folder beside them still goes.
TEST_F(JournalRecovery, AMachineJournalChangesNothingOutsideItsInstallation) {
    const std::string victim = files_.file("QVNVictim"), victimFile = victim + "\\用户的.doc";
    ASSERT_TRUE(CreateDirectoryW(Widen(victim).c_str(), nullptr));
    test::WriteFileBytes(victimFile, {'d', 'o', 'c'});
    const std::string scratch = files_.file("qv-ab1cd.tmp");
    ASSERT_TRUE(CreateDirectoryW(Widen(scratch).c_str(), nullptr));
    test::WriteFileBytes(scratch + "\\setup.tmp", {'t'});
    const std::string target = files_.file("系统.dll"), payload = files_.file("payload.dll");
    test::WriteFileBytes(target, {'c', 'u', 'r'});
    test::WriteFileBytes(payload, {'p', 'a', 'y'});
    const std::string probe = files_.file("探针.dll");
    ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\qvtest_marker.dll").c_str(), Widen(probe).c_str(), FALSE));
    const test::ScratchFolder markers("qv markers");
    const test::ScopedEnvVar markerFolder("QV_MARKER_FOLDER", markers.path());

    WriteJournal("越界的安装", {FolderCreated{scratch, jfWithContents}, FolderCreated{victim, jfWithContents},
                                FileMovedAside{target, payload, FILE_ATTRIBUTE_NORMAL, 0, 0, 3},
                                LibraryRegistered{probe}});
    file_.reset();
    std::string log;
    EXPECT_EQ(Recover(log), exit_code::FatalError) << log;
    EXPECT_TRUE(FileExists(victimFile));
    EXPECT_EQ(test::ReadFileBytes(target), std::vector<std::uint8_t>({'c', 'u', 'r'}));
    EXPECT_TRUE(FileExists(payload));
    EXPECT_TRUE(test::ListFolder(markers.path()).empty()) << "the library was loaded";
    EXPECT_FALSE(FolderExists(scratch));
    for (const char* refusal : {"不是设置程序自己的临时文件夹", "不在这次安装的回滚文件夹中", "不是这次安装放置的文件"})
        EXPECT_NE(log.find(refusal), std::string::npos) << refusal << "\n" << log;
    EXPECT_NE(log.find("3 could not be undone"), std::string::npos) << log;
    EXPECT_TRUE(FileExists(runFolder_ + "\\" + kFailedJournalFileName));
}

// A run folder of the machine's that somebody else may write (left so by
// an older version, or changed since) may hold anybody's journal.
TEST_F(JournalRecovery, AMachineJournalThatOthersCouldWriteIsLeftAlone) {
    const std::string made = files_.file("程序.exe");
    WriteJournal("可写的安装", {made});
    file_.reset();
    PSECURITY_DESCRIPTOR everyone = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr));
    const BOOL granted = SetFileSecurityW(Widen(runFolder_).c_str(), DACL_SECURITY_INFORMATION, everyone);
    LocalFree(everyone);
    ASSERT_TRUE(granted);

    std::string log;
    EXPECT_EQ(Recover(log), exit_code::Success) << log;
    EXPECT_TRUE(FileExists(made));
    EXPECT_NE(log.find("left alone: somebody without administrator rights could have written it"), std::string::npos)
        << log;
    EXPECT_TRUE(ProtectFolder(Widen(runFolder_)));
}

}  // namespace
}  // namespace qv
