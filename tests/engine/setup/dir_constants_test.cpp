// The directory constants over the setup state: which variable each
// constant stands for, and the shell folders below Windows 4.
#include <gtest/gtest.h>

#include "engine/common/windows_version.h"
#include "engine/setup/setup_dir_constants.h"
#include "engine/setup/setup_folders.h"
#include "engine/setup/setup_state.h"

namespace qv {
namespace {

class DirConstants : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        SetupState.SetupSourceDir = "E:\\src";
        SetupState.PrivateTempFolder = "C:\\TEMP\\qv-0A3KV.tmp";
        SetupState.ChosenAppDir = "D:\\Prog";
        SetupState.WinFolder = "C:\\WINDOWS";
        SetupState.SysFolder = "C:\\WINDOWS\\SYSTEM";
        SetupState.SystemDrive = "C:";
        SetupState.ProgFilesFolder = "C:\\Program Files";
        SetupState.CommonFilesFolder = "C:\\Program Files\\Common Files";
        SetupState.ChosenGroup = "示例";
        for (int i = 0; i < 8; ++i) SetupState.ShellFolderPaths[i] = "S" + std::to_string(i);
    }
    void TearDown() override { ResetSetupState(); }
};

TEST_F(DirConstants, EachConstantItsVariable) {
    EXPECT_EQ(ExpandDirConstants("{src}|{tmp}|{app}|{win}|{sys}|{sd}|{pf}|{cf}"),
              "E:\\src|C:\\TEMP\\qv-0A3KV.tmp|D:\\Prog|C:\\WINDOWS|C:\\WINDOWS\\SYSTEM|C:|C:\\Program Files|"
              "C:\\Program Files\\Common Files");
    EXPECT_EQ(ExpandDirConstants("{userdesktop}{userstartmenu}{userprograms}{userstartup}"), "S0S1S2S3");
    EXPECT_EQ(ExpandDirConstants("{commondesktop}{commonstartmenu}{commonprograms}{commonstartup}"), "S4S5S6S7");
    EXPECT_EQ(ExpandDirConstants("{group}\\x.lnk"), "S6\\示例\\x.lnk");
}

TEST_F(DirConstants, EdgeCasesOverTheState) {
    EXPECT_EQ(ExpandDirConstants("{app}\\readme.txt"), "D:\\Prog\\readme.txt");
    SetupState.ChosenAppDir = "C:\\";
    EXPECT_EQ(ExpandDirConstants("{app}\\readme.txt"), "C:\\readme.txt");
    EXPECT_EQ(ExpandDirConstants("{{app}|{app|{}|{xyz}|{APP}"), "{C:\\|{app|{}|{xyz}|{APP}");
    EXPECT_EQ(ExpandDirConstants("{sys}{sys}"), "C:\\WINDOWS\\SYSTEMC:\\WINDOWS\\SYSTEM");
    SetupState.ChosenGroup = "{app}";
    EXPECT_EQ(ExpandDirConstants("{group}"), "S6\\{app}");  // a value is never expanded again
}

TEST_F(DirConstants, ShellFoldersAreMissingBelowWindows4) {
    ScopedWindowsVersion nt351(WindowsVersion::Of(3, 51, kPlatformWin32NT));
    FixFolders();
    for (const char* text : {"{group}", "{userdesktop}\\x", "a{commonstartup}"}) {
        try {
            ExpandDirConstants(text);
            ADD_FAILURE() << text << " expanded";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "内部错误 C100");
        }
    }
    EXPECT_EQ(ExpandDirConstants("{app}\\a"), "D:\\Prog\\a");
    EXPECT_EQ(ExpandDirConstants("{win}"), SetupState.WinFolder);
}

}  // namespace
}  // namespace qv
