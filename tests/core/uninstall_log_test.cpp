// The uninstall log: byte layouts worked out by hand, round trips through
// the reader, and every kind of damage the reader must name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "core/uninstall/uninstall_log.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& bytes, std::initializer_list<int> values) {
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
}
void Append(Bytes& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

Bytes Encoded(const std::string& appName, bool admin, const std::vector<TChangeEntry>& entries) {
    MemoryOutStream out;
    WriteUninstallLog(out, appName, admin, entries);
    return out.Bytes();
}

UninstallLog Read(const Bytes& bytes) {
    MemoryInStream in(bytes);
    return ReadUninstallLog(in);
}

// The three entries of the hand-computed log below.
std::vector<TChangeEntry> SmallLogEntries() {
    return {TChangeEntry::Make(ekFolder, {"C:\\应用"}, efFolderNotify),
            TChangeEntry::Make(ekFile, {"C:\\a.txt", ""}, efWasPresent | efSelfUnregister),
            TChangeEntry::Make(ekRegValue, {"Software\\QV", "Name"}, kHkeyLocalMachine)};
}

TEST(UninstallLog, SmallLogByteForByte) {
    Bytes expected;
    Append(expected, "u109-32\x1A");
    Append(expected, {3, 0});                          // EntryCount
    Append(expected, {4, 0xC9, 0xE8, 0xD6, 0xC3});     // AppName "设置"
    expected.resize(74, 0);                            // rest of string[63]
    Append(expected, {1, 0, 0, 0});                    // AdminInstall, reserved
    ASSERT_EQ(expected.size(), 78u);
    // Entry 1 at 78: ekFolder "C:\应用", efFolderNotify.
    Append(expected, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 8, 0});
    Append(expected, "C:\\");
    Append(expected, {0xD3, 0xA6, 0xD3, 0xC3, 0});
    // Entry 2 at 101: ekFile "C:\a.txt" and "", flags 1 + 8; data = path + 2.
    Append(expected, {0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 1, 10, 0});
    Append(expected, "C:\\a.txt");
    Append(expected, {0, 0});
    // Entry 3 at 126: ekRegValue under HKEY_LOCAL_MACHINE.
    Append(expected, {0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0x80, 8, 17, 0});
    Append(expected, "Software\\QV");
    Append(expected, {0});
    Append(expected, "Name");
    Append(expected, {0});
    ASSERT_EQ(expected.size(), 158u);

    EXPECT_EQ(Encoded("设置", true, SmallLogEntries()), expected);

    const UninstallLog log = Read(expected);
    EXPECT_EQ(log.Header.EntryCount, 3);
    EXPECT_EQ(log.Header.AppName, "设置");
    EXPECT_TRUE(log.Header.AdminInstall);
    ASSERT_EQ(log.Entries.size(), 3u);
    EXPECT_EQ(log.Entries[0].Offset, 78u);
    EXPECT_EQ(log.Entries[1].Offset, 101u);
    EXPECT_EQ(log.Entries[2].Offset, 126u);
    EXPECT_EQ(EntryString(log.Entries[0].Entry, 0), "C:\\应用");
    EXPECT_EQ(log.Entries[2].Entry.Flags, kHkeyLocalMachine);
    EXPECT_EQ(EntryString(log.Entries[2].Entry, 1), "Name");
}

TEST(UninstallLog, EmptyListIsAHeaderOnly) {
    const Bytes bytes = Encoded("软件", false, {});
    ASSERT_EQ(bytes.size(), 78u);
    EXPECT_EQ(GetUi16(&bytes[8]), 0);
    EXPECT_EQ(bytes[10], 4);
    EXPECT_EQ(bytes[74], 0);
    const UninstallLog log = Read(bytes);
    EXPECT_EQ(log.Header.AppName, "软件");
    EXPECT_FALSE(log.Header.AdminInstall);
    EXPECT_TRUE(log.Entries.empty());
}

TEST(UninstallLog, RoundTripOfEveryKindWithChineseTexts) {
    const std::vector<TChangeEntry> entries = {
        TChangeEntry::Make(ekFolder, {"D:\\程序\\安装程序"}, 0),
        TChangeEntry::Make(ekFile, {"D:\\程序\\中文.dll", "D:\\程序\\qv-0A1B2.tmp"}, efSharedCount | efSelfUnregister),
        TChangeEntry::Make(ekFile, {"D:\\程序\\说明.lnk", ""}, efNotifyShell),
        TChangeEntry::Make(ekFile, {"D:\\程序\\数据.ini", ""}, efUninstallOnly),
        TChangeEntry::Make(ekProgManItem, {"软件组", ""}, 0),
        TChangeEntry::Make(ekProgManItem, {"软件组", "说明"}, 0),
        TChangeEntry::Make(ekIniKey, {"", "设置", "路径"}, 0),
        TChangeEntry::Make(ekIniSection, {"D:\\程序\\程序.ini", "选项"}, 0),
        TChangeEntry::Make(ekRegKeyTree, {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\软件"},
                           kHkeyLocalMachine),
        TChangeEntry::Make(ekRegDefaultValue, {"Software\\软件"}, kHkeyCurrentUser),
        TChangeEntry::Make(ekRegKeyIfEmpty, {"Software\\软件\\空"}, kHkeyClassesRoot),
        TChangeEntry::Make(ekRegValue, {"Software\\软件", "版本"}, kHkeyUsers),
        // A kind this system does not know is carried as it is.
        TChangeEntry{0xDEADBEEF, static_cast<TChangeKind>(200), JoinEntryStrings({"将来"})},
        TChangeEntry{0, static_cast<TChangeKind>(9), ""},
    };
    const UninstallLog log = Read(Encoded("中文软件 2.0", true, entries));
    EXPECT_EQ(log.Header.AppName, "中文软件 2.0");
    ASSERT_EQ(log.Entries.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log.Entries[i].Entry.Kind, entries[i].Kind);
        EXPECT_EQ(log.Entries[i].Entry.Flags, entries[i].Flags);
        EXPECT_EQ(log.Entries[i].Entry.StringData, entries[i].StringData);
        EXPECT_FALSE(log.Entries[i].DataCut);
    }
    EXPECT_EQ(EntryString(log.Entries[6].Entry, 2), "路径");
    EXPECT_EQ(ChangeKindName(log.Entries[12].Entry.Kind), "kind 200");
}

TEST(UninstallLog, EntryStringsByIndex) {
    const std::string data = JoinEntryStrings({"a", "", "中"});
    EXPECT_EQ(data, std::string("a\0\0中\0", 7));
    EXPECT_EQ(EntryString(data, 0), "a");
    EXPECT_EQ(EntryString(data, 1), "");
    EXPECT_EQ(EntryString(data, 2), "中");
    EXPECT_EQ(EntryString(data, 3), "");
    EXPECT_EQ(CompleteStringCount(data), 3u);
    // A cut last string runs to the end of the data.
    EXPECT_EQ(EntryString(std::string("x\0yz", 4), 1), "yz");
    EXPECT_EQ(CheckStringData(ekIniKey, data), StringDataFault::None);
    EXPECT_EQ(CheckStringData(ekFile, "a"), StringDataFault::Unterminated);
    EXPECT_EQ(CheckStringData(ekFile, std::string("a\0", 2)), StringDataFault::TooFewStrings);
    EXPECT_EQ(CheckStringData(static_cast<TChangeKind>(9), ""), StringDataFault::None);
}

TEST(UninstallLog, AppNameCutAt63BytesNeverHalfACharacter) {
    const std::string ascii62(62, 'a');
    // 62 + 2 bytes: the double-byte character does not fit and goes whole.
    Bytes bytes = Encoded(ascii62 + "中", false, {});
    EXPECT_EQ(bytes[10], 62);
    EXPECT_EQ(bytes[73], 0);
    EXPECT_EQ(Read(bytes).Header.AppName, ascii62);
    // 61 + 2 bytes fill the field exactly.
    bytes = Encoded(std::string(61, 'a') + "中文", false, {});
    EXPECT_EQ(bytes[10], 63);
    EXPECT_EQ(bytes[72], 0xD6);
    EXPECT_EQ(bytes[73], 0xD0);
    EXPECT_EQ(Read(bytes).Header.AppName, std::string(61, 'a') + "中");
    // Chinese only: 31 characters are 62 bytes, the 32nd would be 64.
    std::string chinese;
    for (int i = 0; i < 40; ++i) chinese += "设";
    bytes = Encoded(chinese, false, {});
    EXPECT_EQ(bytes[10], 62);
    EXPECT_EQ(Read(bytes).Header.AppName, chinese.substr(0, 31 * 3));
    EXPECT_EQ(Encoded(std::string(100, 'x'), false, {})[10], 63);
    // A display name loses what code page 936 cannot show, not the log.
    EXPECT_EQ(Read(Encoded("App \xF0\x9F\x98\x80", false, {})).Header.AppName, "App ?");
}

TEST(UninstallLog, DataLongerThanTheCapIsCutInTheFileOnly) {
    const std::string longPath = "C:\\" + std::string(70000, 'p');
    const TChangeEntry entry = TChangeEntry::Make(ekFile, {longPath, ""}, efWasPresent);
    const Bytes bytes = Encoded("A", false, {entry, TChangeEntry::Make(ekFolder, {"C:\\"}, 0)});
    EXPECT_EQ(GetUi16(&bytes[78 + 13]), 64985);
    EXPECT_EQ(bytes.size(), 78u + 15 + 64985 + 15 + 4);
    EXPECT_EQ(bytes[78 + 15 + 64984], 'p');
    // The list keeps every byte for a rollback.
    EXPECT_EQ(EntryString(entry, 0), longPath);

    const UninstallLog log = Read(bytes);
    ASSERT_EQ(log.Entries.size(), 2u);
    EXPECT_TRUE(log.Entries[0].DataCut);
    EXPECT_EQ(EntryString(log.Entries[0].Entry, 0).size(), 64985u);
    EXPECT_FALSE(log.Entries[1].DataCut);
    EXPECT_EQ(log.Entries[1].Offset, 78u + 15 + 64985);
}

TEST(UninstallLog, DataOfExactlyTheCapIsWhole) {
    // 64983 bytes of path, its zero and the empty second string: 64985.
    const TChangeEntry entry = TChangeEntry::Make(ekFile, {std::string(64983, 'q'), ""}, 0);
    const UninstallLog log = Read(Encoded("A", false, {entry}));
    EXPECT_FALSE(log.Entries[0].DataCut);
    EXPECT_EQ(log.Entries[0].Entry.StringData, entry.StringData);
}

TEST(UninstallLog, WriterRefusesWhatNoReaderCouldUse) {
    EXPECT_THROW(TChangeEntry::Make(ekFile, {"C:\\a"}, 0), Exception);
    EXPECT_THROW(TChangeEntry::Make(ekFolder, {std::string("C:\\a\0b", 6)}, 0), Exception);

    MemoryOutStream out;
    const TChangeEntry handMade{0, ekIniKey, JoinEntryStrings({"a.ini", "Section"})};
    try {
        WriteUninstallLog(out, "A", false, {SmallLogEntries()[0], handMade});
        FAIL() << "an ekIniKey entry with two strings was written";
    } catch (const Exception& error) {
        EXPECT_NE(std::string(error.what()).find("entry 2 (ekIniKey)"), std::string::npos) << error.what();
    }
    try {
        WriteUninstallLog(out, "A", false, {TChangeEntry::Make(ekFolder, {"C:\\\xF0\x9F\x98\x80"}, 0)});
        FAIL() << "a text without a code page 936 form was written";
    } catch (const EFieldTooLong& error) {
        EXPECT_NE(std::string(error.what()).find("entry 1 (ekFolder) string 0"), std::string::npos)
            << error.what();
    }
    const std::vector<TChangeEntry> tooMany(65536, TChangeEntry::Make(ekFolder, {"C:\\"}, 0));
    EXPECT_THROW(WriteUninstallLog(out, "A", false, tooMany), Exception);
    EXPECT_TRUE(out.Bytes().empty());
    MemoryOutStream full;
    WriteUninstallLog(full, "A", false, std::vector<TChangeEntry>(tooMany.begin(), tooMany.end() - 1));
    EXPECT_EQ(GetUi16(&full.Bytes()[8]), 65535);
}

// Reads `bytes`, expecting damage of `kind` at `offset` in entry `entry`.
void ExpectDamage(const Bytes& bytes, ChangeFileDamage kind, std::uint64_t offset, std::size_t entry,
                  const std::string& inMessage) {
    try {
        Read(bytes);
        ADD_FAILURE() << "damaged log was read";
    } catch (const EUninstallLogDamaged& error) {
        EXPECT_EQ(error.Damage(), kind) << error.what();
        EXPECT_EQ(error.Offset(), offset) << error.what();
        EXPECT_EQ(error.EntryNumber(), entry) << error.what();
        const std::string message = error.what();
        EXPECT_NE(message.find("offset " + std::to_string(offset)), std::string::npos) << message;
        EXPECT_NE(message.find(inMessage), std::string::npos) << message;
    }
}

TEST(UninstallLog, DamagedHeaders) {
    const Bytes good = Encoded("设置", true, SmallLogEntries());
    ExpectDamage(Bytes(good.begin(), good.begin() + 77), ChangeFileDamage::FileTooShort, 0, 0, "holds 77 bytes");
    Bytes bad = good;
    bad[7] = 0x1B;
    ExpectDamage(bad, ChangeFileDamage::Signature, 0, 0, "u109-32");
    bad = good;
    bad[10] = 64;
    ExpectDamage(bad, ChangeFileDamage::AppNameLength, 10, 0, "64");
    bad = good;
    bad[74] = 2;
    ExpectDamage(bad, ChangeFileDamage::AdminInstallValue, 74, 0, "0x02");
    for (std::size_t at = 75; at < 78; ++at) {
        bad = good;
        bad[at] = 0x05;
        ExpectDamage(bad, ChangeFileDamage::ReservedBytes, at, 0, "reserved byte is 0x05");
    }
}

TEST(UninstallLog, DamagedEntries) {
    const Bytes good = Encoded("设置", true, SmallLogEntries());  // entries at 78, 101, 126; 158 bytes
    Bytes bad = good;
    SetUi16(&bad[101 + 13], 64986);
    ExpectDamage(bad, ChangeFileDamage::DataLengthTooLarge, 101, 2, "entry 2 of 3: DataLength 64986");
    bad = good;
    SetUi16(&bad[126 + 13], 18);  // one byte more than the file holds
    ExpectDamage(bad, ChangeFileDamage::EntryDataPastEnd, 126, 3, "entry 3 of 3: DataLength 18");
    bad = good;
    bad[78 + 12] = ekIniKey;  // one string where three are needed
    ExpectDamage(bad, ChangeFileDamage::TooFewStrings, 78, 1, "ekIniKey needs 3 strings, its data holds 1");
    bad = good;
    bad[125] = 'x';  // the empty second string of entry 2 loses its zero
    ExpectDamage(bad, ChangeFileDamage::UnterminatedString, 101, 2, "does not end in a zero byte");
    bad = good;
    SetUi16(&bad[8], 4);
    ExpectDamage(bad, ChangeFileDamage::EntryHeaderPastEnd, 158, 4, "entry 4 of 4: the file ends after 0");
    bad = Encoded("A", false, {});
    SetUi16(&bad[8], 0xFFFF);  // a count the file cannot hold
    ExpectDamage(bad, ChangeFileDamage::EntryHeaderPastEnd, 78, 1, "entry 1 of 65535");
    bad = good;
    bad.push_back(0);
    ExpectDamage(bad, ChangeFileDamage::BytesAfterLastEntry, 158, 0, "1 bytes follow the last of its 3");
    bad = good;
    SetUi16(&bad[8], 2);
    ExpectDamage(bad, ChangeFileDamage::BytesAfterLastEntry, 126, 0, "32 bytes follow the last of its 2");
}

TEST(UninstallLog, EveryTruncationIsReportedAsDamage) {
    const Bytes good = Encoded("设置", true, SmallLogEntries());
    for (std::size_t size = 0; size < good.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_THROW(Read(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))),
                     EUninstallLogDamaged);
    }
    // Cut right after the fixed bytes of entry 2, and inside those of entry 3.
    ExpectDamage(Bytes(good.begin(), good.begin() + 116), ChangeFileDamage::EntryDataPastEnd, 101, 2,
                 "which holds 0 more bytes");
    ExpectDamage(Bytes(good.begin(), good.begin() + 130), ChangeFileDamage::EntryHeaderPastEnd, 126, 3,
                 "after 4 of its 15");
}

}  // namespace
}  // namespace qv
