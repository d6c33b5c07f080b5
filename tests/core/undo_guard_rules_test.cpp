// The text rules an uninstall log's paths and keys must pass: the ways a
// path can lead elsewhere than it reads, and the keys of the system.
#include <gtest/gtest.h>

#include "core/setupdata/records.h"
#include "core/uninstall/undo_guard_rules.h"

namespace qv {
namespace {

TEST(UndoGuardRules, PathsThatLeadElsewhereThanTheyReadAreRefused) {
    const std::pair<const char*, TPathFault> cases[] = {
        {"C:\\App\\x.dll", TPathFault::None},
        {"\\\\server\\share\\App\\x.dll", TPathFault::None},
        {"C:/App/x.dll", TPathFault::None},
        {"C:\\App\\..\\windows\\x.ini", TPathFault::DotComponent},
        {"C:\\App\\.\\x.dll", TPathFault::DotComponent},
        {"C:\\App\\. .\\x.dll", TPathFault::DotComponent},
        {"\\\\server\\..\\x", TPathFault::DotComponent},
        {"\\\\?\\C:\\Windows", TPathFault::DevicePrefix},
        {"\\\\.\\PhysicalDrive0", TPathFault::DevicePrefix},
        {"//?/C:/Windows", TPathFault::DevicePrefix},
        {"\\??\\C:\\Windows", TPathFault::DevicePrefix},
        {"App\\x.dll", TPathFault::NotFull},
        {"C:App", TPathFault::NotFull},
        {"\\Windows", TPathFault::NotFull},
        {"", TPathFault::NotFull},
        {"C:\\Windows:stream", TPathFault::BadCharacter},
        {"C:\\App\\*.dll", TPathFault::BadCharacter},
        {"C:\\App\\x\ty", TPathFault::BadCharacter},
    };
    for (const auto& [path, fault] : cases) EXPECT_EQ(CheckUndoPath(path), fault) << path;
}

TEST(UndoGuardRules, APlaceIsFoundInEverySpellingWindowsResolvesToIt) {
    EXPECT_EQ(ComparablePath("C:\\WINDOWS.\\System32 \\"), "c:\\windows\\system32");
    EXPECT_EQ(ComparablePath("c:/"), "c:\\");
    for (const char* spelling : {"C:\\Windows", "c:\\windows\\", "C:\\\\Windows. ", "C:\\", "c:"})
        EXPECT_TRUE(IsPlaceOrHoldsIt(spelling, "C:\\Windows\\System32")) << spelling;
    for (const char* other : {"C:\\Windows\\System32\\x.dll", "C:\\Win", "D:\\Windows", "C:\\Windows\\System"})
        EXPECT_FALSE(IsPlaceOrHoldsIt(other, "C:\\Windows\\System32")) << other;
    EXPECT_TRUE(IsDriveOrShareRoot("D:\\"));
    EXPECT_TRUE(IsDriveOrShareRoot("\\\\server\\share\\"));
    EXPECT_FALSE(IsDriveOrShareRoot("\\\\server\\share\\app"));
    EXPECT_FALSE(IsDriveOrShareRoot("D:\\app"));
}

TEST(UndoGuardRules, TheSystemsKeysAreNeverDeletedAndTheApplicationsAre) {
    const auto deletable = [](std::uint32_t root, const char* key) {
        return !IsProtectedKey(root, key, TKeyChange::DeleteKey);
    };
    for (const char* key : {"", "Software", "software\\", "\\Software", "SYSTEM", "Software\\Microsoft",
                            "Software\\Microsoft\\Windows\\CurrentVersion",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                            "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "Software\\Classes",
                            "Software\\Classes\\CLSID", "Software\\Wow6432Node"}) {
        EXPECT_FALSE(deletable(kHkeyLocalMachine, key)) << key;
        EXPECT_FALSE(deletable(kHkeyCurrentUser, key)) << key;
    }
    for (const char* key : {"SYSTEM\\CurrentControlSet", "SYSTEM\\CurrentControlSet\\Services", "Control Panel\\Desktop",
                            "Environment", "Software\\Policies"})
        EXPECT_FALSE(deletable(kHkeyLocalMachine, key)) << key;
    EXPECT_TRUE(deletable(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\ExampleService"));
    EXPECT_FALSE(deletable(kHkeyClassesRoot, "CLSID"));
    EXPECT_FALSE(deletable(kHkeyUsers, "S-1-5-21-1"));
    EXPECT_FALSE(deletable(kHkeyUsers, "S-1-5-21-1\\Software"));
    EXPECT_FALSE(deletable(kHkeyUsers, "S-1-5-21-1_Classes\\CLSID"));

    EXPECT_TRUE(deletable(kHkeyCurrentUser, "Software\\Example"));
    EXPECT_TRUE(deletable(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App_qv1"));
    EXPECT_TRUE(deletable(kHkeyLocalMachine, "Software\\Classes\\Example.Document\\shell"));
    EXPECT_TRUE(deletable(kHkeyClassesRoot, "CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}"));
    EXPECT_TRUE(deletable(kHkeyUsers, "S-1-5-21-1\\Software\\Example"));

    // An application's file type goes only by the word of a checked log or
    // of its own run; the system's never.
    const auto deletableBy = [](TEntrySource source, const char* key) {
        return !IsProtectedKey(kHkeyClassesRoot, key, TKeyChange::DeleteKey, source);
    };
    EXPECT_FALSE(deletableBy(TEntrySource::UncheckedLog, ".example"));
    EXPECT_TRUE(deletableBy(TEntrySource::CheckedLog, ".example"));
    EXPECT_TRUE(deletableBy(TEntrySource::OwnRun, "Example.Document"));
    EXPECT_FALSE(IsProtectedKey(kHkeyLocalMachine, "Software\\Classes\\Example.Document", TKeyChange::DeleteKey,
                                TEntrySource::CheckedLog));
    for (const char* key : {".exe", "txtfile", "CLSID", "*", "Directory"})
        EXPECT_FALSE(deletableBy(TEntrySource::OwnRun, key)) << key;
    EXPECT_TRUE(IsProtectedKey(kHkeyClassesRoot, ".txt", TKeyChange::EmptyDefaultValue));

    // A file type's default value is emptied on purpose; the lists' are not.
    EXPECT_FALSE(IsProtectedKey(kHkeyClassesRoot, ".example", TKeyChange::EmptyDefaultValue));
    EXPECT_TRUE(IsProtectedKey(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                               TKeyChange::EmptyDefaultValue));
    EXPECT_TRUE(IsProtectedKey(kHkeyCurrentUser, "", TKeyChange::EmptyDefaultValue));
    // An application's value in the Run key goes with it.
    EXPECT_FALSE(IsProtectedKey(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                TKeyChange::ChangeValue));
    EXPECT_TRUE(IsProtectedKey(kHkeyCurrentUser, "", TKeyChange::ChangeValue));
    EXPECT_FALSE(IsPredefinedRootKey(0x12345678));
    EXPECT_TRUE(IsPredefinedRootKey(kHkeyUsers));
}

}  // namespace
}  // namespace qv
