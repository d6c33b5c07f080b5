// The undo log as the uninstaller finds it on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/errors.h"
#include "core/uninstall/uninstall_log.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/undo/undo_changes.h"
#include "testkit/scratch.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::ReadFileBytes;
using test::ScratchFolder;

UninstallLog ReadLog(const std::string& path) {
    WinFileInStream file(path);
    return ReadUninstallLog(file);
}

int SaveError(const TUndoChanges& undo, const std::string& path) {
    try {
        undo.SaveToFile(path);
    } catch (const EInOutError& e) {
        return e.code();
    }
    return 0;
}

TEST(UndoLogFile, AnEmptyListIsAHeaderWithTheNameAndTheAdminFlag) {
    ScratchFolder folder("undo-log");
    TUndoChanges undo;
    undo.AppName = "QV 演示";
    undo.AdminInstall = true;
    const std::string path = folder.file("UNINST1.000");
    // The bytes that the uninstall key's hash is made of are those on the disk.
    const std::vector<std::uint8_t> written = undo.SaveToFile(path);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(written, bytes);
    ASSERT_EQ(bytes.size(), 78u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), std::string("u109-32\x1A"));
    EXPECT_EQ(GetUi16(bytes.data() + 8), 0);
    EXPECT_EQ(bytes[10], 7);  // "QV " and two characters of two bytes each
    EXPECT_EQ(bytes[74], 1);
    const UninstallLog log = ReadLog(path);
    EXPECT_EQ(log.Header.AppName, "QV 演示");
    EXPECT_TRUE(log.Header.AdminInstall);
}

TEST(UndoLogFile, EntriesComeOldestFirstWithTheirStringsAndFlags) {
    ScratchFolder folder("undo-log");
    TUndoChanges undo;
    undo.AppName = "App";
    undo.AddEntry(ekFolder, {"C:\\应用"}, 0);
    undo.AddEntry(ekFile, {"C:\\应用\\a.exe", ""}, efWasPresent | efSelfUnregister);
    undo.AddEntry(ekRegValue, {"Software\\QV", "Path"}, 0x80000001);
    undo.AddRawEntry(static_cast<TChangeKind>(12), std::string("later\0kind\0", 11), 7);
    // An empty string is a single zero byte.
    EXPECT_EQ(undo.Entries()[1].StringData, std::string("C:\\应用\\a.exe\0\0", 17));

    const std::string path = folder.file("UNINST1.000");
    undo.SaveToFile(path);
    EXPECT_EQ(undo.Entries().size(), 4u);  // saving leaves the list as it is
    const UninstallLog log = ReadLog(path);
    EXPECT_FALSE(log.Header.AdminInstall);
    ASSERT_EQ(log.Entries.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(log.Entries[i].Entry.Kind, undo.Entries()[i].Kind) << i;
        EXPECT_EQ(log.Entries[i].Entry.Flags, undo.Entries()[i].Flags) << i;
        EXPECT_EQ(log.Entries[i].Entry.StringData, undo.Entries()[i].StringData) << i;
    }
    // In code page 936 the path of the file entry is 13 bytes; its empty
    // second string adds two zero bytes.
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    const std::size_t second = 78 + 15 + 8;
    EXPECT_EQ(GetUi16(bytes.data() + second + 13), 13 + 2);
}

TEST(UndoLogFile, AppNameIsCutTo63BytesWithoutSplittingACharacter) {
    ScratchFolder folder("undo-log");
    std::string chinese;
    for (int i = 0; i < 40; ++i) chinese += "安";
    for (const auto& [prefix, expectedBytes] : {std::pair<std::string, int>{"A", 63}, {"AB", 62}}) {
        TUndoChanges undo;
        undo.AppName = prefix + chinese;
        const std::string path = folder.file("log-" + prefix);
        undo.SaveToFile(path);
        EXPECT_EQ(ReadFileBytes(path)[10], expectedBytes) << prefix;
        std::string expectedName = prefix;
        for (int i = 0; i < (expectedBytes - static_cast<int>(prefix.size())) / 2; ++i) expectedName += "安";
        EXPECT_EQ(ReadLog(path).Header.AppName, expectedName);
    }
}

TEST(UndoLogFile, LongDataIsCutInTheFileButKeptWholeInMemory) {
    ScratchFolder folder("undo-log");
    TUndoChanges undo;
    const std::string longKey(70000, 'k');
    undo.AddEntry(ekRegKeyTree, {longKey}, 0x80000001);
    undo.AddEntry(ekFolder, {"C:\\After"}, 0);
    const std::string path = folder.file("UNINST1.000");
    undo.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path).size(), 78u + 15 + 64985 + 15 + 9);
    const UninstallLog log = ReadLog(path);
    ASSERT_EQ(log.Entries.size(), 2u);
    EXPECT_TRUE(log.Entries[0].DataCut);
    EXPECT_EQ(log.Entries[0].Entry.StringData, longKey.substr(0, 64985));
    EXPECT_EQ(EntryString(log.Entries[1].Entry, 0), "C:\\After");
    EXPECT_EQ(undo.Entries()[0].StringData.size(), 70001u);
}

TEST(UndoLogFile, TheEntryCountStaysWithinSixteenBits) {
    ScratchFolder folder("undo-log");
    TUndoChanges undo;
    for (int i = 0; i < 65535; ++i) undo.AddEntry(ekFolder, {"C:\\F"}, 0);
    const std::string full = folder.file("full");
    undo.SaveToFile(full);
    EXPECT_EQ(GetUi16(ReadFileBytes(full).data() + 8), 65535);

    undo.AddEntry(ekFolder, {"C:\\One too many"}, 0);
    const std::string over = folder.file("over");
    try {
        undo.SaveToFile(over);
        ADD_FAILURE() << "65536 entries were written";
    } catch (const EInOutError&) {
        ADD_FAILURE() << "an I/O error instead of the count";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("65535"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(test::Exists(over));  // nothing with a wrapped count reached the disk
    EXPECT_EQ(undo.Entries().size(), 65536u);  // all still there for the rollback
}

TEST(UndoLogFile, AnExistingFileIsReplacedAndFailuresCarryTheSystemCode) {
    ScratchFolder folder("undo-log");
    TUndoChanges undo;
    undo.AddEntry(ekFolder, {"C:\\A"}, 0);
    const std::string path = folder.file("UNINST1.000");
    test::WriteText(path, std::string(500, 'o'));
    undo.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path).size(), 78u + 15 + 5);

    EXPECT_EQ(SaveError(undo, folder.file("missing\\UNINST1.000")), 3);
    EXPECT_FALSE(test::Exists(folder.file("missing")));
    // A path the save cannot open is never removed: here a folder.
    EXPECT_EQ(SaveError(undo, folder.path()), 5);
    EXPECT_TRUE(test::Exists(folder.path()));
    // A file held open by someone else cannot be opened without sharing.
    const std::string held = folder.file("held");
    test::WriteText(held, "held");
    {
        const UniqueHFile other(CreateFileW(Widen(held).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        EXPECT_EQ(SaveError(undo, held), 32);
    }
    EXPECT_TRUE(test::Exists(held));
}

TEST(UndoLogFile, AddEntryRefusesWhatWouldShiftTheStrings) {
    TUndoChanges undo;
    EXPECT_THROW(undo.AddEntry(ekFile, {"C:\\only one"}, 0), Exception);
    EXPECT_THROW(undo.AddEntry(ekIniKey, {"a.ini", std::string("S\0T", 3), "K"}, 0), Exception);
    EXPECT_TRUE(undo.Empty());
    undo.AppName = "A";
    undo.AdminInstall = true;
    undo.AddEntry(ekFolder, {"C:\\A"}, 0);
    undo.Clear();
    EXPECT_TRUE(undo.Empty());
    EXPECT_EQ(undo.AppName, "");
    EXPECT_FALSE(undo.AdminInstall);
}

}  // namespace
}  // namespace qv
