// The most uninstall-log entries counted from setup data: what each record
// adds, folders counted once whatever their letter case, and nothing for
// what the uninstaller never sees.
#include <gtest/gtest.h>

#include "core/uninstall/log_entry_bound.h"

namespace qv {
namespace {

TDirRec Dir(const std::string& name, std::uint8_t flags = 0) {
    TDirRec dir;
    dir.DirName = name;
    dir.Flags = flags;
    return dir;
}

TFileRec File(std::uint8_t flags) {
    TFileRec file;
    file.FileFlags = flags;
    return file;
}

TIconRec Icon(const std::string& path) {
    TIconRec icon;
    icon.IconPath = path;
    return icon;
}

TEST(LogEntryBound, EachRecordCountsWhatItsInstallationCanRecord) {
    SetupData data;
    data.SetupInfo.Options = optUninstallable;
    data.DirRecords = {Dir("{app}\\a\\b"), Dir("{APP}\\A"), Dir("{app}\\scratch", dfRemoveAtEnd),
                       Dir("{app}\\kept", dfNoUninstall), Dir("C:\\Tools\\x")};
    data.FileRecords = {File(0), File(ffNoUninstall), File(ffUninstallData), File(ffNoUninstall | ffShared),
                        File(ffSelfRegister | ffShared)};
    data.IconRecords = {Icon("{group}\\one"), Icon("{group}\\Sub\\two")};
    data.IniRecords.resize(3);
    data.IniRecords[0].Flags = ifUninstDeleteKey;
    data.IniRecords[1].Flags = ifUninstDeleteSection;
    data.RegistryRecords.resize(4);
    data.RegistryRecords[0].Flags = rfUninstDeleteValue;
    data.RegistryRecords[1].Flags = rfUninstDeleteKey;
    data.RegistryRecords[2].Flags = rfUninstEmptyDefault;
    data.RegistryRecords[3].Flags = rfKeepExistingValue;
    data.UninstallDeleteRecords.resize(2);

    const UninstallLogEntryCount count = MostUninstallLogEntries(data);
    EXPECT_EQ(count.Setup, 2u);
    // {app} and {group} at their most levels; {app}\a, {app}\a\b, C:\tools,
    // C:\tools\x, {group}\sub.
    EXPECT_EQ(count.Folders, 2 * kMostCreatedFolderLevels + 5);
    EXPECT_EQ(count.Files, 3u);
    EXPECT_EQ(count.Icons, 3u);  // the uninstall icon too
    EXPECT_EQ(count.IniEntries, 2u);
    EXPECT_EQ(count.RegistryEntries, 3u);
    EXPECT_EQ(count.UninstallDeletes, 2u);
    EXPECT_EQ(count.Total(), 2 + 2 * kMostCreatedFolderLevels + 5 + 3 + 3 + 2 + 3 + 2);

    // Without an uninstaller: no placeholder, no key, no uninstall icon.
    data.SetupInfo.Options = 0;
    const UninstallLogEntryCount plain = MostUninstallLogEntries(data);
    EXPECT_EQ(plain.Setup, 0u);
    EXPECT_EQ(plain.Icons, 2u);
    EXPECT_EQ(plain.Folders, count.Folders);  // {group} is still named by the icons
}

TRegistryRec Key(std::uint32_t root, const std::string& subKey, std::uint8_t flags) {
    TRegistryRec registry;
    registry.RootKey = root;
    registry.SubKey = subKey;
    registry.Flags = flags;
    return registry;
}

TEST(LogEntryBound, KeysAboveRemovedKeysCountOnceEach) {
    SetupData data;
    data.SetupInfo.Options = optUninstallable;
    data.RegistryRecords = {
        Key(kHkeyLocalMachine, "Software\\Vendor\\App", rfUninstDeleteKey),
        Key(kHkeyLocalMachine, "SOFTWARE\\vendor\\Other", rfUninstDeleteValue),  // the same two above it
        Key(kHkeyCurrentUser, "Software\\Vendor\\App", rfUninstDeleteKey),       // another root
        Key(kHkeyLocalMachine, "Software\\Kept\\Deep\\Key", rfUninstEmptyDefault),  // its key stays
        Key(kHkeyLocalMachine, "Software\\NoFlags\\Key", 0),
        Key(kHkeyLocalMachine, "Software\\{app}", rfUninstDeleteKey),
    };
    const UninstallLogEntryCount count = MostUninstallLogEntries(data);
    EXPECT_EQ(count.RegistryEntries, 5u);
    // software, software\vendor under each root; a constant as deep as a tree goes.
    EXPECT_EQ(count.RegistryKeys, 4 + (kMostRegistryKeyLevels - 1));
    EXPECT_EQ(count.Total(), count.Setup + count.Folders + count.Icons + 5 + 4 + (kMostRegistryKeyLevels - 1));
}

}  // namespace
}  // namespace qv
