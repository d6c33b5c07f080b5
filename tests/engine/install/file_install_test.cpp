// The file loop end to end on real files: data files and a /SL file written
// by the core's writer, destinations in use, damaged streams, cancels, the
// undo entries and the after-actions.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/held_file.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/install/inflate_ahead.h"
#include "engine/install/known_names.h"
#include "engine/install/new_file_stream.h"
#include "engine/install/read_ahead.h"
#include "engine/instfunc/shared_file_count.h"
#include "install_bench.h"
#include "testkit/pending_renames.h"
#include "testkit/denied_key.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::AnsweredBoxes;
using test::BenchFile;
using test::InstallBench;

const char kRetryText[] = "\r\n\n\n按<重试>再试，<忽略>跳过此文件(不推荐)，或按<取消>取消安装。";

std::string FailureText(const std::string& prefix, const std::string& message) {
    return prefix + "\r\n\r\n" + message + kRetryText;
}

struct Entry {
    TChangeKind Kind;
    std::string First, Second;
    std::uint32_t Flags;
    bool operator==(const Entry& other) const {
        return Kind == other.Kind && First == other.First && Second == other.Second && Flags == other.Flags;
    }
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    return out << ChangeKindName(entry.Kind) << " \"" << entry.First << "\" \"" << entry.Second << "\" flags "
               << entry.Flags;
}

std::vector<Entry> EntriesOf(const TUndoChanges& undo) {
    std::vector<Entry> entries;
    for (const TChangeEntry& entry : undo.Entries())
        entries.push_back({entry.Kind, EntryString(entry, 0), EntryString(entry, 1), entry.Flags});
    return entries;
}

// A file held open by this process without any sharing, as a running
// program holds its own files.
UniqueHFile HoldOpen(const std::string& path) {
    UniqueHFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(file) << path;
    return file;
}

using test::PendingRenames;

// The shared-file counts of some paths, removed again at the end.
class SharedCounts {
public:
    explicit SharedCounts(std::vector<std::string> paths) : paths_(std::move(paths)) { Remove(); }
    ~SharedCounts() { Remove(); }
    SharedCounts(const SharedCounts&) = delete;
    SharedCounts& operator=(const SharedCounts&) = delete;

    static std::optional<std::int32_t> Of(const std::string& path) {
        return ReadSharedFileCount(OpenSharedDllsKey().get(), path).Count;
    }

private:
    void Remove() {
        const UniqueHKey key = OpenSharedDllsKey();
        for (const std::string& path : paths_) RegDeleteValueW(key.get(), Widen(path).c_str());
    }
    std::vector<std::string> paths_;
};

// What DllRegisterServer of the test library noted, one path a line.
class RegisterCalls {
public:
    RegisterCalls() : variable_("QV_TEST_REGISTER_LOG", log_.file("calls.log")) {}
    std::string Lines() const {
        if (!FileExists(log_.file("calls.log"))) return {};
        const auto bytes = test::ReadFileBytes(log_.file("calls.log"));
        return {bytes.begin(), bytes.end()};
    }

private:
    test::ScratchFolder log_{"qv register log"};
    test::ScopedEnvVar variable_;
};

TEST(InstallFiles, NewFilesGetTheirFoldersTheirTimesAndOneEntryEach) {
    InstallBench bench({test::MakeBenchFile("readme.txt", test::Bytes("read me")),
                        test::MakeBenchFile("新 目录\\deeper\\big.bin", test::IncompressibleBytes(100000)),
                        test::MakeBenchFile("empty.dat", {})});
    std::vector<std::int64_t> atPumps;
    bench.progress.onPump = [&] { atPumps.push_back(bench.progress.Position()); };
    AnsweredBoxes noQuestions;
    bench.Install();

    const std::string readme = bench.AppFile("readme.txt"), big = bench.AppFile("新 目录\\deeper\\big.bin"),
                      empty = bench.AppFile("empty.dat");
    EXPECT_EQ(test::ReadFileBytes(readme), test::Bytes("read me"));
    EXPECT_EQ(test::ReadFileBytes(big), test::IncompressibleBytes(100000));
    EXPECT_TRUE(test::ReadFileBytes(empty).empty());
    for (const std::string& file : {readme, big, empty})
        EXPECT_EQ(test::AsNumber(test::LastWriteTime(file)), test::AsNumber(test::UtcOfLocal(test::BenchFileTime())));
    // The folders the files needed are the rollback's alone: the uninstaller
    // leaves them, and the undo log carries what the uninstall log will.
    EXPECT_EQ(EntriesOf(bench.undo),
              (std::vector<Entry>{{ekFile, readme, "", 0}, {ekFile, big, "", 0}, {ekFile, empty, "", 0}}));
    EXPECT_EQ(bench.progress.filenames, (std::vector<std::string>{readme, big, empty}));
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
    // The gauge moves as the data is read, never by more than a piece between pumps.
    ASSERT_GE(atPumps.size(), 6u);
    std::int64_t last = 0;
    for (const std::int64_t position : atPumps) {
        EXPECT_GE(position, last);
        EXPECT_LE(position - last, 32000);
        last = position;
    }
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_TRUE(test::ListFolder(bench.app.path() + "\\新 目录\\deeper", "*.tmp").empty());
    EXPECT_FALSE(bench.restartNeeded);
}

TEST(InstallFiles, TheFlagsDecideTheEntriesAndTheListsOfTheRun) {
    test::ScratchFolder percentFolder("qv 100%s");
    BenchFile noUninstall = test::MakeBenchFile("tool.exe", test::Bytes("tool"));
    noUninstall.Record.FileFlags = ffNoUninstall;
    BenchFile deleteAtEnd = test::MakeBenchFile("helper.tmp.exe", test::Bytes("helper"));
    deleteAtEnd.Record.FileFlags = ffDeleteAtEnd;
    BenchFile uninstallData = test::MakeBenchFile("ignored name", test::Bytes("uninstall data"));
    uninstallData.Record.FileFlags = ffUninstallData;
    InstallBench bench({noUninstall, deleteAtEnd, uninstallData});
    bench.context.UninstallLogPattern = percentFolder.path() + "\\UNINST%s.004";
    AnsweredBoxes noQuestions;
    bench.Install();

    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, bench.AppFile("helper.tmp.exe"), "", 0}}));
    EXPECT_EQ(bench.filesToDeleteAtEnd, std::vector<std::string>{bench.AppFile("helper.tmp.exe")});
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("tool.exe")), test::Bytes("tool"));
    // The placeholder of the uninstall log; a '%' of the folder is no format.
    EXPECT_EQ(test::ReadFileBytes(percentFolder.file("UNINST0.004")), test::Bytes("uninstall data"));
    EXPECT_FALSE(FileExists(bench.AppFile("ignored name")));
}

// The uninstaller leaves a file marked so; a rollback still takes the new
// one away, and the uninstall log never hears of it.
TEST(InstallFiles, AFileTheUninstallerLeavesGoesWithARollback) {
    BenchFile added = test::MakeBenchFile("tool.exe", test::Bytes("tool"));
    added.Record.FileFlags = ffNoUninstall;
    InstallBench bench({added});
    bench.KeepJournal();
    AnsweredBoxes noQuestions;
    bench.Install();
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("tool.exe")), test::Bytes("tool"));
    EXPECT_TRUE(bench.undo.Empty());

    EXPECT_TRUE(bench.RollBack());
    EXPECT_FALSE(FileExists(bench.AppFile("tool.exe")));
}

TEST(InstallFiles, ALibraryRegistersItselfWhetherInstalledOrKept) {
    const auto library = test::ReadFileBytes(test::BuiltFile("qvtest_registers.dll"));
    BenchFile added = test::MakeBenchFile("added.dll", library);
    added.Record.FileFlags = ffSelfRegister;
    BenchFile kept = test::MakeBenchFile("kept.dll", library);
    kept.Record.FileFlags = ffSelfRegister;
    kept.Record.ReplaceMode = rmOnlyIfMissing;
    InstallBench bench({added, kept});
    test::WriteFileBytes(bench.AppFile("kept.dll"), library);
    RegisterCalls calls;
    AnsweredBoxes noQuestions;
    bench.Install();

    EXPECT_EQ(calls.Lines(), bench.AppFile("added.dll") + "\n" + bench.AppFile("kept.dll") + "\n");
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, bench.AppFile("added.dll"), "", efSelfUnregister}}));
}

TEST(InstallFiles, SharedFilesRaiseTheirCountAndRecordOnlyThat) {
    const auto library = test::ReadFileBytes(test::BuiltFile("qvtest_registers.dll"));
    BenchFile added = test::MakeBenchFile("shared new.dll", library);
    added.Record.FileFlags = ffShared | ffSelfRegister;
    BenchFile kept = test::MakeBenchFile("shared kept.dll", test::Bytes("new"));
    kept.Record.FileFlags = ffShared;
    kept.Record.ReplaceMode = rmOnlyIfMissing;
    InstallBench bench({added, kept});
    const std::string addedPath = bench.AppFile("shared new.dll"), keptPath = bench.AppFile("shared kept.dll");
    test::WriteFileBytes(keptPath, test::Bytes("old"));
    const SharedCounts counts({addedPath, keptPath});
    RegisterCalls calls;
    AnsweredBoxes noQuestions;
    bench.Install();

    EXPECT_EQ(SharedCounts::Of(addedPath), 1);
    // A file that was there without a count had one user already.
    EXPECT_EQ(SharedCounts::Of(keptPath), 2);
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, addedPath, "", efSharedCount | efSelfUnregister},
                                                         {ekFile, keptPath, "", efSharedCount}}));
    EXPECT_EQ(test::ReadFileBytes(keptPath), test::Bytes("old"));
    EXPECT_EQ(calls.Lines(), addedPath + "\n");
}

TEST(InstallFiles, ASharedFileWhoseCountCannotBeRaisedGoesWithAbortAndStaysRecordedWithIgnore) {
    BenchFile shared = test::MakeBenchFile("shared.dll", test::Bytes("shared"));
    shared.Record.FileFlags = ffShared;
    for (const int answer : {IDABORT, IDIGNORE}) {
        InstallBench bench({shared});
        bench.KeepJournal();
        const std::string dest = bench.AppFile("shared.dll");
        const SharedCounts counts({dest});
        const test::DeniedKey denied(HKEY_LOCAL_MACHINE, kSharedDllsKeyPath, KEY_SET_VALUE);
        if (!denied.Enforced()) GTEST_SKIP() << "this system does not enforce registry key security";
        AnsweredBoxes boxes({answer});
        if (answer == IDABORT) {
            EXPECT_THROW(bench.Install(), EAbort);
            EXPECT_TRUE(bench.RollBack());
            EXPECT_FALSE(FileExists(dest));
        } else {
            bench.Install();
            EXPECT_EQ(test::ReadFileBytes(dest), test::Bytes("shared"));
            EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, dest, "", efSharedCount}}));
        }
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].Text, std::string("打开注册表出错: ") + kSharedDllsKeyPath + kRetryText);
    }
}

TEST(InstallFiles, BelowWindows4ASharedFileGetsNeitherCountNorEntry) {
    const ScopedWindowsVersion old(WindowsVersion::Of(3, 95, kPlatformWin32Windows));
    BenchFile shared = test::MakeBenchFile("shared.dll", test::Bytes("shared"));
    shared.Record.FileFlags = ffShared;
    InstallBench bench({shared});
    const SharedCounts counts({bench.AppFile("shared.dll")});
    AnsweredBoxes noQuestions;
    bench.Install();
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("shared.dll")), test::Bytes("shared"));
    EXPECT_TRUE(bench.undo.Empty());
    EXPECT_FALSE(ReadSharedFileCount(OpenSharedDllsKey().get(), bench.AppFile("shared.dll")).Exists);
}

TEST(InstallFiles, AFileInUseWaitsForTheRestartAndALaterFileDoesNotInheritItsTemporaryFile) {
    BenchFile inUse = test::MakeBenchFile("in use.dll", test::ReadFileBytes(test::BuiltFile("qvtest_registers.dll")));
    inUse.Record.FileFlags = ffReplaceAtRestart | ffSelfRegister;
    BenchFile shared = test::MakeBenchFile("shared.dll", test::Bytes("new"));
    shared.Record.FileFlags = ffShared;
    shared.Record.ReplaceMode = rmOnlyIfMissing;
    InstallBench bench({inUse, shared});
    const std::string dest = bench.AppFile("in use.dll"), sharedDest = bench.AppFile("shared.dll");
    test::WriteFileBytes(dest, test::Bytes("old version"));
    test::WriteFileBytes(sharedDest, test::Bytes("old"));
    const PendingRenames restoreAfterwards;
    const SharedCounts counts({sharedDest});
    RegisterCalls calls;
    {
        const UniqueHFile held = HoldOpen(dest);
        AnsweredBoxes noQuestions;
        bench.Install();
    }

    EXPECT_TRUE(bench.restartNeeded);
    EXPECT_EQ(test::ReadFileBytes(dest), test::Bytes("old version"));
    const auto temps = bench.TempFiles();
    ASSERT_EQ(temps.size(), 1u);
    const std::string temp = bench.AppFile(temps[0]);
    EXPECT_EQ(test::ReadFileBytes(temp), inUse.Contents);
    EXPECT_TRUE(PendingRenames::Holds(temp, dest));
    // Not registered before it is in place.
    EXPECT_EQ(calls.Lines(), "");
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, dest, temp, efSelfUnregister | efWasPresent},
                                                         {ekFile, sharedDest, "", efSharedCount}}));
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
}

TEST(InstallFiles, AFileInUseWithoutRestartReplacementIsAskedAboutUntilItIsFree) {
    BenchFile file = test::MakeBenchFile("busy.exe", test::IncompressibleBytes(70000));
    InstallBench bench({file});
    const std::string dest = bench.AppFile("busy.exe");
    test::WriteFileBytes(dest, test::Bytes("running"));
    UniqueHFile held = HoldOpen(dest);
    AnsweredBoxes boxes({IDRETRY, IDRETRY});
    boxes.duringBox = [&](std::size_t number) {
        // Nothing of the failed attempt is left, and its data no longer counts.
        EXPECT_TRUE(bench.TempFiles().empty());
        EXPECT_EQ(bench.progress.Position(), 0);
        if (number == 1) held.reset();
    };
    bench.Install();

    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].Text, FailureText("错误：试图删除文件时出错。", "I/O error 32"));
    EXPECT_EQ(boxes.asked[0].Caption, dest);
    EXPECT_EQ(boxes.asked[0].Kind, mbtError);
    EXPECT_EQ(boxes.asked[0].Flags, UINT{MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONEXCLAMATION});
    EXPECT_EQ(test::ReadFileBytes(dest), file.Contents);
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, dest, "", efWasPresent}}));
    EXPECT_FALSE(bench.restartNeeded);
    // Read three times, counted once.
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
}

TEST(InstallFiles, ADamagedStreamLeavesNothingAndIgnoreCountsTheFileAsDone) {
    InstallBench bench({test::MakeBenchFile("damaged.bin", test::IncompressibleBytes(90000)),
                        test::MakeBenchFile("fine.txt", test::Bytes("fine"))});
    // A byte in the middle of the first stream.
    test::DamageByte(bench.dataFiles[0], bench.data.FileLocationRecords[0].StartOffset + 4 + 45000);
    AnsweredBoxes boxes({IDRETRY, IDIGNORE});
    boxes.duringBox = [&](std::size_t) {
        EXPECT_TRUE(bench.TempFiles().empty());
        EXPECT_EQ(bench.progress.Position(), 0);
    };
    bench.Install();

    ASSERT_EQ(boxes.asked.size(), 2u);
    for (const MsgBoxQuestion& question : boxes.asked) {
        EXPECT_EQ(question.Text, FailureText("错误：试图复制文件时出错。", "源文件已损坏。"));
        EXPECT_EQ(question.Caption, bench.AppFile("damaged.bin"));
    }
    EXPECT_FALSE(FileExists(bench.AppFile("damaged.bin")));
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("fine.txt")), test::Bytes("fine"));
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, bench.AppFile("fine.txt"), "", 0}}));
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
}

TEST(InstallFiles, AbortInTheQuestionCancelsTheInstallation) {
    InstallBench bench({test::MakeBenchFile("damaged.bin", test::IncompressibleBytes(40000)),
                        test::MakeBenchFile("never.txt", test::Bytes("never"))});
    auto bytes = test::ReadFileBytes(bench.dataFiles[0]);
    bytes[bench.data.FileLocationRecords[0].StartOffset + 4 + 20000] ^= 0x01;
    test::WriteFileBytes(bench.dataFiles[0], bytes);
    AnsweredBoxes boxes({IDABORT});
    EXPECT_THROW(bench.Install(), EAbort);
    EXPECT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_FALSE(FileExists(bench.AppFile("never.txt")));
}

TEST(InstallFiles, ACancelInTheMiddleOfALargeFileStopsWithinOnePiece) {
    InstallBench bench({test::MakeBenchFile("first.txt", test::Bytes("first")),
                        test::MakeBenchFile("large.bin", test::IncompressibleBytes(1 << 20))});
    const std::int64_t firstSize = bench.data.FileRecords[0].CompressedSize;
    // The third piece of the large file brings the confirmed cancel.
    std::vector<std::int64_t> atPumps;
    std::size_t tempsAtCancel = 0;
    bench.progress.onPump = [&] {
        if (bench.progress.Position() > firstSize) atPumps.push_back(bench.progress.Position());
    };
    bench.progress.confirmCancelWhen = [&] {
        if (atPumps.size() < 3) return false;
        tempsAtCancel = bench.TempFiles().size();
        return true;
    };
    AnsweredBoxes noQuestions;
    EXPECT_THROW(bench.Install(), EAbort);

    // No piece was read after the one that found the cancel: the gauge
    // went from there straight back to where the file began.
    ASSERT_EQ(atPumps.size(), 3u);
    EXPECT_LE(atPumps.back() - firstSize, 3 * 32000);
    const auto& positions = bench.progress.positions;
    ASSERT_GE(positions.size(), 2u);
    EXPECT_EQ(positions[positions.size() - 2], atPumps.back());
    EXPECT_EQ(tempsAtCancel, 1u);
    // The temporary file is gone, the destination never appeared, the
    // gauge holds the finished file only.
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_FALSE(FileExists(bench.AppFile("large.bin")));
    EXPECT_EQ(bench.progress.Position(), firstSize);
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, bench.AppFile("first.txt"), "", 0}}));
}

TEST(InstallFiles, AStreamCrossesTheDisksAndTheChosenFolderIsSearchedFirst) {
    const auto contents = test::IncompressibleBytes(100000);
    InstallBench bench({test::MakeBenchFile("spanning.bin", contents)}, test::DataLayout::DataFiles, 40000);
    ASSERT_EQ(bench.dataFiles.size(), 3u);
    test::ScratchFolder elsewhere("qv other disk");
    for (const char* name : {"SETUP.2", "SETUP.3"})
        ASSERT_TRUE(MoveFileW(Widen(bench.source.file(name)).c_str(), Widen(elsewhere.file(name)).c_str()));
    std::vector<std::pair<int, std::string>> prompts;
    AnsweredBoxes noQuestions;
    bench.Install([&](int disk, const std::string& fileName, std::string& path) {
        prompts.emplace_back(disk, fileName);
        EXPECT_EQ(path, bench.source.path());
        path = AppendBackslash(elsewhere.path());
        return true;
    });
    EXPECT_EQ(prompts, (std::vector<std::pair<int, std::string>>{{2, "SETUP.2"}}));
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("spanning.bin")), contents);
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
}

TEST(InstallFiles, GivingUpOnADiskEndsTheInstallationWithoutAQuestion) {
    InstallBench bench({test::MakeBenchFile("spanning.bin", test::IncompressibleBytes(60000))},
                       test::DataLayout::DataFiles, 40000);
    ASSERT_TRUE(DeleteFileW(Widen(bench.source.file("SETUP.2")).c_str()));
    AnsweredBoxes noQuestions;
    EXPECT_THROW(bench.Install([](int, const std::string&, std::string&) { return false; }), EAbort);
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_FALSE(FileExists(bench.AppFile("spanning.bin")));
}

TEST(InstallFiles, TheSlFileHoldsTheDataFromItsOffset) {
    InstallBench bench({test::MakeBenchFile("one.txt", test::Bytes("one")),
                        test::MakeBenchFile("two.bin", test::IncompressibleBytes(50000))},
                       test::DataLayout::SlFile);
    AnsweredBoxes noQuestions;
    bench.Install();
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("one.txt")), test::Bytes("one"));
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("two.bin")), test::IncompressibleBytes(50000));
}

// A data file beside the program can be renamed and another put under its
// name between two files: a later file would then be read from the other
// data. Held from its first use, the data file can be neither renamed nor
// changed until the files are installed, and then it is free again.
TEST(InstallFiles, ADataFileCannotBeReplacedWhileItsFilesAreInstalled) {
    const auto second = test::IncompressibleBytes(70000);
    InstallBench bench({test::MakeBenchFile("one.txt", test::Bytes("one")), test::MakeBenchFile("two.bin", second)});
    ASSERT_EQ(bench.dataFiles.size(), 1u);
    const std::wstring dataFile = Widen(bench.dataFiles[0]);
    const std::wstring aside = dataFile + L".old";
    int refusedRenames = 0, refusedWrites = 0;
    bench.progress.onPump = [&] {
        if (MoveFileW(dataFile.c_str(), aside.c_str())) {
            MoveFileW(aside.c_str(), dataFile.c_str());
            return;
        }
        refusedRenames += GetLastError() == ERROR_SHARING_VIOLATION;
        const UniqueHFile writer(CreateFileW(dataFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        refusedWrites += !writer && GetLastError() == ERROR_SHARING_VIOLATION;
    };
    AnsweredBoxes noQuestions;
    bench.Install();
    EXPECT_GT(bench.progress.pumps, 2);
    EXPECT_EQ(refusedRenames, bench.progress.pumps) << "the data file was free at some pump";
    EXPECT_EQ(refusedWrites, bench.progress.pumps);
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("two.bin")), second);
    // Nothing stays held once the files are in.
    EXPECT_TRUE(MoveFileW(dataFile.c_str(), aside.c_str()));
}

TEST(InstallFiles, EachStepNamesItselfInTheQuestion) {
    InstallBench bench({test::MakeBenchFile("blocker\\inside.txt", test::Bytes("a")),
                        test::MakeBenchFile("a folder", test::Bytes("b")),
                        test::MakeBenchFile("{group}\\c.txt", test::Bytes("c"))},
                       test::DataLayout::SlFile);
    test::WriteFileBytes(bench.AppFile("blocker"), {1});
    ASSERT_TRUE(CreateDirectoryW(Widen(bench.AppFile("a folder")).c_str(), nullptr));
    AnsweredBoxes boxes({IDIGNORE, IDIGNORE, IDIGNORE});
    bench.Install();
    ASSERT_EQ(boxes.asked.size(), 3u);
    EXPECT_EQ(boxes.asked[0].Text, FailureText("错误：试图在目标文件夹中创建文件时出错。",
                                               "设置程序不能创建文件夹 \"" + bench.AppFile("blocker") + "\""));
    // A folder in the file's place is no file: only the rename finds it.
    const std::string renamePrefix = "错误：试图在目标文件夹中改变文件名时出错。\r\n\r\n";
    EXPECT_EQ(boxes.asked[1].Text.compare(0, renamePrefix.size(), renamePrefix), 0) << boxes.asked[1].Text;
    EXPECT_EQ(boxes.asked[1].Caption, bench.AppFile("a folder"));
    // Outside the named steps the message stands alone.
    EXPECT_EQ(boxes.asked[2].Text, std::string("内部错误 C100") + kRetryText);
    EXPECT_EQ(boxes.asked[2].Caption, "Error");
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_TRUE(bench.undo.Empty());
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());

    // Without its source, a file cannot be read.
    ASSERT_TRUE(DeleteFileW(Widen(bench.dataFiles[0]).c_str()));
    RemoveDirectoryW(Widen(bench.AppFile("a folder")).c_str());
    DeleteFileW(Widen(bench.AppFile("blocker")).c_str());
    bench.progress.SetPosition(0);
    AnsweredBoxes again({IDIGNORE, IDIGNORE, IDIGNORE});
    bench.Install();
    ASSERT_EQ(again.asked.size(), 3u);
    EXPECT_EQ(again.asked[0].Text, FailureText("错误：试图读取源文件时出错。", "File not found"));
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_TRUE(test::ListFolder(bench.AppFile("blocker")).empty());
}

// The temporary file moves to its place while still open, under a name
// with Chinese in it; a name already taken is refused and left alone, the
// file still open under its own name for the rename by name to report.
TEST(NewFileStream, MovesToAFreeNameWhileOpenAndNeverReplaces) {
    test::ScratchFolder folder("qv 新文件");
    TNewFileStream moved(folder.file("a.tmp"));
    moved.Write("new", 3);
    ASSERT_TRUE(moved.RenameWhileOpen(folder.file("程序.txt")));
    moved.Close();
    EXPECT_FALSE(FileExists(folder.file("a.tmp")));
    EXPECT_EQ(test::ReadFileBytes(folder.file("程序.txt")), test::Bytes("new"));

    TNewFileStream refused(folder.file("b.tmp"));
    refused.Write("other", 5);
    EXPECT_FALSE(refused.RenameWhileOpen(folder.file("程序.txt")));
    refused.Close();
    EXPECT_EQ(test::ReadFileBytes(folder.file("程序.txt")), test::Bytes("new"));
    EXPECT_EQ(test::ReadFileBytes(folder.file("b.tmp")), test::Bytes("other"));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Solid blocks: a library (through the x86 filter), identical contents met
// again after the decoder has passed their member (the block decoded anew),
// once in a block that runs across three data files (the file loop decodes
// it) and once in one data file (the helper decodes ahead of the loop).
TEST(InstallSolidFiles, EachFileComesOutOfItsBlockAcrossTheDisksAndTheGaugeReachesTheEnd) {
    const auto library = test::ReadFileBytes(test::BuiltFile("qvtest_version_2_0_3_4.dll"));
    const auto noise = test::IncompressibleBytes(70000);
    for (const std::uint64_t maxDiskSize : {30000u, 0u}) {
        SCOPED_TRACE(maxDiskSize);
        InstallBench bench({test::MakeBenchFile("lib.dll", library), test::MakeBenchFile("noise.bin", noise),
                            test::MakeBenchFile("empty.txt", {}), test::MakeBenchFile("again.dll", library)},
                           test::DataLayout::SolidDataFiles, maxDiskSize);
        ASSERT_EQ(bench.dataFiles.size() >= 3, maxDiskSize != 0);
        EXPECT_EQ(bench.data.FileMembers, (std::vector<std::uint32_t>{0, 1, 2, 0}));
        AnsweredBoxes noQuestions;
        bench.Install();
        EXPECT_EQ(test::ReadFileBytes(bench.AppFile("lib.dll")), library);
        EXPECT_EQ(test::ReadFileBytes(bench.AppFile("noise.bin")), noise);
        EXPECT_EQ(test::ReadFileBytes(bench.AppFile("empty.txt")), std::vector<std::uint8_t>{});
        EXPECT_EQ(test::ReadFileBytes(bench.AppFile("again.dll")), library);
        EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());
        EXPECT_TRUE(bench.TempFiles().empty());
    }
}

// The helper decodes a block in the held data file member after member
// ahead of the loop: empty files, contents met again, and small files
// whose share of the block's bytes rounds to nothing; past the last file it
// lets go of the data file. From a block damaged in the middle it gives
// only what came before the damage, and leaves the rest of the block to
// the loop, which reports it.
TEST(InstallSolidFiles, TheHelperDecodesMembersAheadUpToTheDamageOfABlock) {
    const auto noise = test::IncompressibleBytes(90000);
    const std::vector<std::vector<std::uint8_t>> contents{
        test::Bytes("first"), {}, noise, test::Bytes("first"), std::vector<std::uint8_t>(1 << 20, 'a'),
        test::Bytes("last")};
    std::vector<test::BenchFile> files;
    for (std::size_t i = 0; i < contents.size(); ++i)
        files.push_back(test::MakeBenchFile("f" + std::to_string(i), contents[i]));
    InstallBench bench(files, test::DataLayout::SolidDataFiles);
    ASSERT_EQ(bench.dataFiles.size(), 1u);
    const auto takeAll = [&] {
        TInflateAhead ahead(bench.data, 0);
        ahead.Start(THeldFile::Open(bench.dataFiles[0]), 1, 0);
        std::vector<bool> taken;
        for (std::size_t i = 0; i < contents.size(); ++i) {
            std::vector<std::uint8_t> decoded;
            taken.push_back(ahead.Take(i, decoded));
            if (taken.back()) {
                EXPECT_EQ(decoded, contents[i]) << i;
            }
        }
        // Nobody could rename the data file while it was held.
        std::vector<std::uint8_t> none;
        EXPECT_FALSE(ahead.Take(contents.size(), none));
        const std::string moved = bench.dataFiles[0] + ".moved";
        EXPECT_TRUE(MoveFileW(Widen(bench.dataFiles[0]).c_str(), Widen(moved).c_str()));
        MoveFileW(Widen(moved).c_str(), Widen(bench.dataFiles[0]).c_str());
        return taken;
    };
    EXPECT_EQ(takeAll(), std::vector<bool>(contents.size(), true));
    ASSERT_EQ(bench.data.FileRecords.back().CompressedSize, 0);
    AnsweredBoxes noQuestions;
    bench.Install();
    for (std::size_t i = 0; i < contents.size(); ++i)
        EXPECT_EQ(test::ReadFileBytes(bench.AppFile("f" + std::to_string(i))), contents[i]) << i;
    EXPECT_EQ(bench.progress.Position(), bench.TotalCompressedSize());

    test::DamageByte(bench.dataFiles[0], bench.data.FileLocationRecords[0].StartOffset + 100 + 45000);
    EXPECT_EQ(takeAll(), (std::vector<bool>{true, true, false, false, false, false}));
}

// A block that fills its data file, whose last member the helper took
// after the loop had decoded a file too large for the helper: when the
// next block asks for the disk after it, nothing holds the first one.
TEST(InstallSolidFiles, TheDiskBeforeIsFreeWhenTheNextBlockAsksForItsDisk) {
    const std::vector<test::BenchFile> files{test::MakeBenchFile("big.bin", std::vector<std::uint8_t>(20 << 20, 'a')),
                                             test::MakeBenchFile("tail.txt", test::Bytes("tail")),
                                             test::MakeBenchFile("next.bin", std::vector<std::uint8_t>(13 << 20, 'b'))};
    const auto nextBlockAt = [](const InstallBench& bench) { return bench.data.FileLocationRecords[2].StartOffset; };
    const auto firstBlockEnd = static_cast<std::uint64_t>(nextBlockAt(InstallBench(files, test::DataLayout::SolidDataFiles)));
    InstallBench bench(files, test::DataLayout::SolidDataFiles, firstBlockEnd);
    ASSERT_EQ(bench.data.FileLocationRecords[1].LastDisk, 1);
    ASSERT_EQ(bench.data.FileLocationRecords[2].FirstDisk, 2);
    test::ScratchFolder elsewhere("qv other disk");
    ASSERT_TRUE(MoveFileW(Widen(bench.source.file("SETUP.2")).c_str(), Widen(elsewhere.file("SETUP.2")).c_str()));
    const std::wstring first = Widen(bench.dataFiles[0]), aside = first + L".out";
    bool firstWasFree = false;
    AnsweredBoxes noQuestions;
    bench.Install([&](int, const std::string&, std::string& path) {
        // The helper lets go of it as it finishes, which may be a moment later.
        for (int tries = 0; tries < 100 && !firstWasFree; ++tries, Sleep(20))
            firstWasFree = MoveFileW(first.c_str(), aside.c_str()) && MoveFileW(aside.c_str(), first.c_str());
        path = AppendBackslash(elsewhere.path());
        return true;
    });
    EXPECT_TRUE(firstWasFree);
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("tail.txt")), test::Bytes("tail"));
    EXPECT_EQ(test::ReadFileBytes(bench.AppFile("next.bin")), files[2].Contents);
}

// A byte changed in the middle of a block: the file it lands in is refused
// as a damaged stream is, and Abort ends the installation with nothing of it.
TEST(InstallSolidFiles, ADamagedBlockIsRefusedAsADamagedStream) {
    InstallBench bench({test::MakeBenchFile("first.txt", test::Bytes("first")),
                        test::MakeBenchFile("damaged.bin", test::IncompressibleBytes(90000)),
                        test::MakeBenchFile("never.txt", test::Bytes("never"))},
                       test::DataLayout::SolidDataFiles);
    test::DamageByte(bench.dataFiles[0], bench.data.FileLocationRecords[0].StartOffset + 100 + 45000);
    AnsweredBoxes boxes({IDRETRY, IDABORT});
    EXPECT_THROW(bench.Install(), EAbort);
    ASSERT_EQ(boxes.asked.size(), 2u);
    for (const MsgBoxQuestion& question : boxes.asked) {
        EXPECT_EQ(question.Text, FailureText("错误：试图复制文件时出错。", "源文件已损坏。"));
        EXPECT_EQ(question.Caption, bench.AppFile("damaged.bin"));
    }
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_FALSE(FileExists(bench.AppFile("damaged.bin")));
    EXPECT_FALSE(FileExists(bench.AppFile("never.txt")));
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, bench.AppFile("first.txt"), "", 0}}));
}

// A cancel while the decoder is inside a block stops within a piece: the
// temporary file goes, the gauge falls back to the file's start, and the
// entries hold only the finished file, for the rollback to take away.
TEST(InstallSolidFiles, ACancelInTheMiddleOfABlockStopsWithinOnePiece) {
    InstallBench bench({test::MakeBenchFile("first.txt", test::Bytes("first")),
                        test::MakeBenchFile("large.bin", test::IncompressibleBytes(1 << 20))},
                       test::DataLayout::SolidDataFiles);
    ASSERT_EQ(bench.data.FileLocationRecords[0].StartOffset, bench.data.FileLocationRecords[1].StartOffset);
    const std::int64_t firstSize = bench.data.FileRecords[0].CompressedSize;
    int pumpsInLarge = 0;
    bench.progress.onPump = [&] {
        if (bench.progress.Position() > firstSize) ++pumpsInLarge;
    };
    bench.progress.confirmCancelWhen = [&] { return pumpsInLarge >= 3; };
    AnsweredBoxes noQuestions;
    EXPECT_THROW(bench.Install(), EAbort);
    EXPECT_EQ(pumpsInLarge, 3);
    EXPECT_TRUE(bench.TempFiles().empty());
    EXPECT_FALSE(FileExists(bench.AppFile("large.bin")));
    EXPECT_EQ(bench.progress.Position(), firstSize);
    EXPECT_EQ(EntriesOf(bench.undo), (std::vector<Entry>{{ekFile, bench.AppFile("first.txt"), "", 0}}));
}

// Readers through one window, each at its own position: small reads
// within and across the window's end, a large read that starts inside it,
// a read back before it, and the end of the file.
TEST(ReadAhead, EveryReaderGetsTheFileAsItStands) {
    test::ScratchFolder folder("qv read ahead");
    const auto bytes = test::IncompressibleBytes(TReadAhead::kWindow * 3 + 1000);
    test::WriteFileBytes(folder.file("data"), bytes);
    const auto held = THeldFile::Open(folder.file("data"));
    TReadAhead ahead(*held);
    auto first = ahead.NewReader(), second = ahead.NewReader();
    const auto expectRead = [&](InStream& reader, std::uint64_t at, std::size_t count) {
        std::vector<std::uint8_t> got(count);
        reader.Seek(at);
        got.resize(reader.Read(got.data(), count));
        const std::size_t end = std::min<std::size_t>(bytes.size(), at + count);
        EXPECT_TRUE(got == std::vector<std::uint8_t>(bytes.begin() + std::min<std::size_t>(at, end), bytes.begin() + end))
            << "at " << at << ", " << count << " bytes";
        EXPECT_EQ(reader.Position(), at + got.size());
    };
    expectRead(*first, 0, 4);
    expectRead(*second, 4, 100);
    expectRead(*first, TReadAhead::kWindow - 10, 30);
    expectRead(*second, TReadAhead::kWindow + 5, TReadAhead::kWindow * 2);
    expectRead(*first, 10, 50);
    expectRead(*second, bytes.size() - 5, 100);
    expectRead(*first, bytes.size() + 7, 10);
    EXPECT_EQ(first->Size(), bytes.size());
}

// One listing a folder answers whether a name is there, as Windows
// would: in any letter case, with trailing dots, by its short name; a
// file made behind the listing's back is unknown until added or forgotten.
TEST(KnownNames, AFolderIsListedOnceAndAnswersAsWindowsComparesNames) {
    test::ScratchFolder folder("qv 名字");
    const std::string existing = folder.file("Readme 长名字 Ä.txt");
    test::WriteFileBytes(existing, {'x'});
    TKnownNames names;
    EXPECT_TRUE(names.MayExist(folder.file("README 长名字 ä.TXT..")));
    EXPECT_FALSE(names.MayExist(folder.file("other.txt")));
    wchar_t shortPath[MAX_PATH] = {};
    if (GetShortPathNameW(Widen(existing).c_str(), shortPath, MAX_PATH) && Narrow(shortPath) != existing) {
        EXPECT_TRUE(names.MayExist(Narrow(shortPath))) << Narrow(shortPath);
    }
    EXPECT_FALSE(names.MayExist(folder.file("新\\a.txt"))) << "a folder not there holds nothing";

    test::WriteFileBytes(folder.file("other.txt"), {'y'});
    EXPECT_FALSE(names.MayExist(folder.file("other.txt")));
    names.Added(folder.file("OTHER.txt"));
    EXPECT_TRUE(names.MayExist(folder.file("other.txt")));
    test::WriteFileBytes(folder.file("third.txt"), {'z'});
    names.Forget();
    EXPECT_TRUE(names.MayExist(folder.file("third.txt")));
}

}  // namespace
}  // namespace qv
