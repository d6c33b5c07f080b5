// Start-up in this process, on setup data written by the core's writer:
// each failure with its exact message, a good start, and the end of the run.
#include <gtest/gtest.h>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/setup/end_setup.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/start_setup.h"
#include "engine/setup/top_level_errors.h"
#include "testkit/pending_renames.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "testkit/setup_files.h"

namespace qv {
namespace {

using test::ScratchFolder;
using Bytes = std::vector<std::uint8_t>;

const char kMissingSetup0[] = "在安装文件夹中未找到 SETUP.0 文件。请查找该文件或重新取得新版安装程序。";
const char kWrongSignature[] = "设置程序文件已被损坏，或与设置程序版本不相容。请修正该错误或重新取得新版安装程序。";
const char kDamaged[] = "设置程序文件已被损坏，请重新取得新版安装程序。";

class StartUp : public ::testing::Test {
protected:
    void SetUp() override { ResetSetupState(); }
    void TearDown() override {
        if (!SetupState.PrivateTempFolder.empty()) DeleteFolderTree(SetupState.PrivateTempFolder);
        ResetSetupState();
    }

    // Start-up as the program runs it; false when it ended with a failure.
    bool Start(const std::vector<std::string>& params) {
        return RunGuarded([&] { StartSetup(params); });
    }
    bool Start() { return Start({program()}); }
    std::string program() const { return folder_.file("Setup.exe"); }
    std::string setup0() const { return folder_.file("SETUP.0"); }

    // The one box of a failed start, shown by FailStart.
    void ExpectFailStart(const std::string& text) {
        ASSERT_EQ(boxes_.asked.size(), 1u);
        EXPECT_EQ(boxes_.asked[0].Text, text);
        EXPECT_EQ(boxes_.asked[0].Caption, "Error");
        EXPECT_EQ(boxes_.asked[0].Kind, mbtCriticalError);
        EXPECT_EQ(boxes_.asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
        ExpectNoTemporaryFolder();
    }
    // The one box of a failed start, shown by the top level.
    void ExpectTopLevelError(const std::string& text) {
        ASSERT_EQ(boxes_.asked.size(), 1u);
        EXPECT_EQ(boxes_.asked[0].Text, text);
        EXPECT_EQ(boxes_.asked[0].Caption, "");
        EXPECT_FALSE(boxes_.asked[0].Kind.has_value());
        EXPECT_EQ(boxes_.asked[0].Flags, static_cast<UINT>(MB_ICONSTOP));
        ExpectNoTemporaryFolder();
    }
    void ExpectNoTemporaryFolder() {
        EXPECT_EQ(SetupState.PrivateTempFolder, "");
        EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
    }

    ScratchFolder folder_{"qv start"};
    ScratchFolder temp_{"qv temp"};
    test::ScopedEnvVar tmp_{"TMP", temp_.path()};
    test::ScriptedBoxes boxes_;
};

TEST_F(StartUp, GoodDataLoadsEverythingAndMakesThePrivateFolder) {
    SetupData data = test::SampleSetupData();
    data.InfoAfterText = "之后";
    test::WriteSetupDataFile(setup0(), data);
    ASSERT_TRUE(Start({program(), "/DIR=D:\\应用", "/GROUP=组"}));
    EXPECT_TRUE(boxes_.asked.empty());
    EXPECT_EQ(SetupState.SetupSourceDir, folder_.path());
    EXPECT_EQ(SetupState.CmdLineDir, "D:\\应用");
    EXPECT_EQ(SetupState.CmdLineGroup, "组");
    EXPECT_EQ(SetupState.SetupInfo.AppName, "示例程序");
    EXPECT_EQ(SetupState.LicenseText, "许可协议\r\n第二行");
    EXPECT_EQ(SetupState.InfoBeforeText, "");
    EXPECT_EQ(SetupState.InfoAfterText, "之后");
    ASSERT_EQ(SetupState.FileRecords.size(), 2u);
    EXPECT_EQ(SetupState.FileLocationRecords.size(), 2u);
    EXPECT_EQ(SetupState.FileRecords[1].DestPath, "{app}\\file1.txt");
    EXPECT_EQ(SetupState.IconRecords.size(), 1u);
    EXPECT_EQ(SetupState.TotalFileSize, 2001);
    EXPECT_FALSE(SetupState.RestartNeeded);
    EXPECT_TRUE(SetupState.HasIconsToCreate);
    EXPECT_FALSE(SetupState.WinFolder.empty());

    // qv-XXXXX.tmp in the user's temporary folder.
    const std::vector<std::string> made = test::ListFolder(temp_.path(), "qv-*");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(SetupState.PrivateTempFolder, temp_.file(made[0]));
    EXPECT_EQ(made[0].size(), 12u);
    EXPECT_EQ(made[0].substr(8), ".tmp");
    EXPECT_NE(GetFileAttributesW(Widen(SetupState.PrivateTempFolder).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(StartUp, SizesAddUpPast2GiBAndRestartComesFromTheHeader) {
    SetupData data = test::SampleSetupData();
    data.FileRecords[0].OriginalSize = 0x7FFFFFFF;
    data.FileRecords[1].OriginalSize = 0x7FFFFFFF;
    data.SetupInfo.Options |= optRestartAfter;
    test::WriteSetupDataFile(setup0(), data);
    ASSERT_TRUE(Start());
    EXPECT_EQ(SetupState.TotalFileSize, 2 * std::int64_t{0x7FFFFFFF});
    EXPECT_TRUE(SetupState.RestartNeeded);
}

TEST_F(StartUp, MissingSetup0) {
    EXPECT_FALSE(Start());
    ExpectFailStart(kMissingSetup0);
}

TEST_F(StartUp, AFolderNamedSetup0IsNoSetupData) {
    CreateDirectoryW(Widen(setup0()).c_str(), nullptr);
    EXPECT_FALSE(Start());
    ExpectFailStart(kMissingSetup0);
}

TEST_F(StartUp, WrongSignature) {
    Bytes bytes = test::SetupDataBytes(test::SampleSetupData());
    bytes[6] = '3';  // "i109-33"
    test::WriteFileBytes(setup0(), bytes);
    EXPECT_FALSE(Start());
    ExpectFailStart(kWrongSignature);
}

TEST_F(StartUp, DamagedHeaderBlock) {
    Bytes bytes = test::SetupDataBytes(test::SampleSetupData());
    test::DamageBlock(bytes, test::BlockOffsets(bytes).front());
    test::WriteFileBytes(setup0(), bytes);
    EXPECT_FALSE(Start());
    ExpectFailStart(kDamaged);
}

TEST_F(StartUp, DamagedTextAndRecordBlocks) {
    const Bytes good = test::SetupDataBytes(test::SampleSetupData());
    const std::vector<std::size_t> blocks = test::BlockOffsets(good);
    ASSERT_EQ(blocks.size(), 7u);  // header, licence, 2 files, 2 locations, 1 icon
    for (std::size_t block : {blocks[1], blocks[3], blocks.back()}) {
        Bytes bytes = good;
        test::DamageBlock(bytes, block);
        test::WriteFileBytes(setup0(), bytes);
        boxes_.asked.clear();
        EXPECT_FALSE(Start()) << block;
        ExpectFailStart(kDamaged);
    }
}

TEST_F(StartUp, AFileThatEndsEarlyIsTheRunTimeError) {
    Bytes bytes = test::SetupDataBytes(test::SampleSetupData());
    bytes.resize(test::BlockOffsets(bytes).back() + 20);  // inside the icon record's block
    test::WriteFileBytes(setup0(), bytes);
    EXPECT_FALSE(Start());
    ExpectTopLevelError("Read beyond end of file.");

    test::WriteFileBytes(setup0(), {'i', '1', '0'});  // not even a signature
    boxes_.asked.clear();
    EXPECT_FALSE(Start());
    ExpectTopLevelError("Read beyond end of file.");
}

class SlForm : public StartUp {
protected:
    // The setup data 100 bytes into a larger file.
    void SetUp() override {
        StartUp::SetUp();
        Bytes bytes(100, 0xEE);
        const Bytes data = test::SetupDataBytes(test::SampleSetupData());
        bytes.insert(bytes.end(), data.begin(), data.end());
        test::WriteFileBytes(dataFile(), bytes);
    }
    std::string dataFile() const { return folder_.file("app.bin"); }
    std::string otherProgram() const { return temp_.file("Setup.exe"); }
};

TEST_F(SlForm, ReadsTheDataAtItsOffset) {
    ASSERT_TRUE(Start({otherProgram(), "/SL", dataFile(), "100", "5000", "/group=G"}));
    EXPECT_TRUE(SetupState.SlMode);
    EXPECT_EQ(SetupState.SetupSourceDir, folder_.path());
    EXPECT_EQ(SetupState.SlFileDataOffset, 5000);
    EXPECT_EQ(SetupState.CmdLineGroup, "G");
    EXPECT_EQ(SetupState.FileRecords.size(), 2u);
}

TEST_F(SlForm, AWrongOffsetFindsNoSignature) {
    EXPECT_FALSE(Start({otherProgram(), "/SL", dataFile(), "99", "0"}));
    ExpectFailStart(kWrongSignature);
}

TEST_F(SlForm, OffsetsThatAreNoNumbers) {
    EXPECT_FALSE(Start({otherProgram(), "/SL", dataFile(), "abc", "0"}));
    ExpectTopLevelError("'abc' is not a valid integer value.");
}

TEST_F(SlForm, ANegativeOffsetIsAnIoError) {
    EXPECT_FALSE(Start({otherProgram(), "/SL", dataFile(), "-1", "0"}));
    ExpectTopLevelError("I/O error 131.");
}

TEST_F(SlForm, AMissingDataFile) {
    EXPECT_FALSE(Start({otherProgram(), "/SL", folder_.file("missing.bin"), "0", "0"}));
    ExpectTopLevelError("File not found.");
}

TEST_F(SlForm, TheSlSwitchInLowerCaseLooksForSetup0) {
    EXPECT_FALSE(Start({otherProgram(), "/sl", dataFile(), "100", "0"}));
    ExpectFailStart(kMissingSetup0);
}

struct VersionCase {
    WindowsVersion System;
    std::uint8_t MinWinMajor, MinWinMinor, MinNTMajor, MinNTMinor;
    const char* Failure;  // nullptr: the start goes on
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << (c.System.PlatformId == kPlatformWin32NT ? "NT " : "Windows ") << int(c.System.Major()) << "."
        << int(c.System.Minor()) << " against " << int(c.MinWinMajor) << "." << int(c.MinWinMinor) << "/NT "
        << int(c.MinNTMajor) << "." << int(c.MinNTMinor);
}

class VersionCheck : public StartUp, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionCheck, MessageOrStart) {
    const VersionCase& c = GetParam();
    SetupData data = test::SampleSetupData();
    data.SetupInfo.MinWinVersionMajor = c.MinWinMajor;
    data.SetupInfo.MinWinVersionMinor = c.MinWinMinor;
    data.SetupInfo.MinNTVersionMajor = c.MinNTMajor;
    data.SetupInfo.MinNTVersionMinor = c.MinNTMinor;
    test::WriteSetupDataFile(setup0(), data);
    ScopedWindowsVersion system(c.System);
    if (c.Failure) {
        EXPECT_FALSE(Start());
        ExpectFailStart(c.Failure);
    } else {
        EXPECT_TRUE(Start());
        EXPECT_TRUE(boxes_.asked.empty());
    }
}

const WindowsVersion NT(int major, int minor) {
    return WindowsVersion::Of(static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor), kPlatformWin32NT);
}
const WindowsVersion Win(int major, int minor) {
    return WindowsVersion::Of(static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor),
                              kPlatformWin32Windows);
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, VersionCheck,
    ::testing::Values(
        VersionCase{NT(3, 51), 4, 0, 4, 0, "这个程序需要 Windows NT 4.0 版或更高版本。"},
        VersionCase{NT(3, 10), 4, 0, 3, 51, "这个程序需要 Windows NT 3.51 版或更高版本。"},
        VersionCase{NT(4, 0), 4, 0, 4, 10, "这个程序需要 Windows NT 4.1 版或更高版本。"},
        VersionCase{NT(4, 0), 9, 0, 4, 0, nullptr},    // the 95 family's minimum does not count on NT
        VersionCase{NT(5, 0), 4, 0, 4, 10, nullptr},   // a higher major version with a lower minor one
        VersionCase{NT(3, 51), 4, 0, 3, 51, nullptr},  // the minimum itself
        VersionCase{Win(4, 0), 4, 10, 4, 0, "这个程序需要 Windows 4.1 版或更高版本。"},
        VersionCase{Win(3, 95), 4, 0, 3, 0, "这个程序需要 Windows 4.0 版或更高版本。"},
        VersionCase{Win(4, 10), 4, 10, 9, 0, nullptr},
        VersionCase{NT(10, 0), 0, 0, 0, 0, "程序不能在Windows NT上运行."},
        VersionCase{Win(4, 0), 0, 0, 0, 0, "程序必须在Windows NT上运行."},
        VersionCase{WindowsVersion::Of(3, 11, kPlatformWin32s), 4, 0, 4, 0, "程序不能在Win32 上运行."}));

TEST_F(StartUp, HasIconsToCreate) {
    struct Case {
        std::size_t Icons;
        std::uint16_t Options;
        WindowsVersion System;
        bool Expected;
    };
    const Case cases[] = {
        {1, 0, NT(4, 0), true},
        {0, 0, NT(3, 51), false},
        {0, optUninstallable, NT(4, 0), false},
        {0, optUninstallable, NT(3, 51), true},  // the uninstall icon goes into the Program Manager group
        {0, optUninstallable | optUninstallIconAlways, NT(4, 0), true},
        {0, optUninstallIconAlways, NT(4, 0), false},
    };
    for (const Case& c : cases) {
        SetupData data = test::SampleSetupData();
        data.SetupInfo.MinNTVersionMajor = 3;
        data.IconRecords.resize(c.Icons);
        data.SetupInfo.Options = c.Options;
        test::WriteSetupDataFile(setup0(), data);
        ScopedWindowsVersion system(c.System);
        ResetSetupState();
        ASSERT_TRUE(Start());
        EXPECT_EQ(SetupState.HasIconsToCreate, c.Expected) << c.Icons << " " << c.Options << " " << int(c.System.Major());
        DeleteFolderTree(SetupState.PrivateTempFolder);
    }
}

TEST_F(StartUp, TheTemporaryFolderCannotBeMade) {
    test::WriteSetupDataFile(setup0(), test::SampleSetupData());
    // Under Wine Z:\proc is the Linux /proc: it exists, but not even root
    // may create a folder in it.
    test::ScopedEnvVar tmp("TMP", "Z:\\proc");
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes_.asked.size(), 1u);
    const std::string& text = boxes_.asked[0].Text;
    const std::string prefix = "设置程序不能创建文件夹 \"Z:\\proc\\qv-";
    EXPECT_EQ(text.substr(0, prefix.size()), prefix) << text;
    EXPECT_EQ(text.substr(text.size() - 5), ".tmp\"") << text;  // no full stop after the quote
    EXPECT_EQ(text.size(), prefix.size() + 5 + 5);
    EXPECT_EQ(boxes_.asked[0].Caption, "");
    EXPECT_EQ(SetupState.PrivateTempFolder, "");
}

TEST_F(StartUp, EndSetupRemovesWhatIsLeftAndThePrivateFolder) {
    test::WriteSetupDataFile(setup0(), test::SampleSetupData());
    ASSERT_TRUE(Start());
    const std::string tmp = SetupState.PrivateTempFolder;
    // Read-only files, in the folder and in a subfolder.
    test::WriteFileBytes(tmp + "\\a.dll", {1});
    CreateDirectoryW(Widen(tmp + "\\sub").c_str(), nullptr);
    test::WriteFileBytes(tmp + "\\sub\\b.txt", {2});
    SetFileAttributesW(Widen(tmp + "\\a.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(Widen(tmp + "\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(Widen(tmp + "\\sub").c_str(), FILE_ATTRIBUTE_READONLY);

    test::WriteFileBytes(folder_.file("delete me.txt"), {3});
    // A helper the run started and that still runs: its file goes at the restart.
    const std::string inUse = folder_.file("still running.exe");
    test::WriteFileBytes(inUse, {5});
    const UniqueHFile held(CreateFileW(Widen(inUse).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const test::PendingRenames renames;
    SetupState.FilesToDeleteAtEnd = {folder_.file("delete me.txt"), folder_.file("never existed.txt"), inUse};
    CreateDirectoryW(Widen(folder_.file("empty")).c_str(), nullptr);
    CreateDirectoryW(Widen(folder_.file("full")).c_str(), nullptr);
    test::WriteFileBytes(folder_.file("full\\keep.txt"), {4});
    SetupState.DirsToRemoveAtEnd = {folder_.file("empty"), folder_.file("full")};

    bool restartStarted = true;
    ASSERT_TRUE(RunGuarded([&] { restartStarted = EndSetup(); }));
    EXPECT_FALSE(restartStarted);  // none was chosen
    EXPECT_TRUE(boxes_.asked.empty());
    EXPECT_EQ(GetFileAttributesW(Widen(tmp).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
    EXPECT_EQ(GetFileAttributesW(Widen(folder_.file("delete me.txt")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(test::PendingRenames::Holds(inUse, ""));
    EXPECT_EQ(GetFileAttributesW(Widen(folder_.file("empty")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(Widen(folder_.file("full\\keep.txt")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(SetupState.FilesToDeleteAtEnd.empty());
    EXPECT_TRUE(SetupState.DirsToRemoveAtEnd.empty());
}

}  // namespace
}  // namespace qv
