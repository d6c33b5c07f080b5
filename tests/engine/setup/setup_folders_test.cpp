// The folders behind the directory constants, fixed at start-up.
#include <gtest/gtest.h>

#include "core/text/path_strings.h"
#include "engine/common/folders.h"
#include "engine/common/path_tests.h"
#include "engine/common/windows_version.h"
#include "engine/setup/setup_folders.h"
#include "engine/setup/setup_state.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScopedEnvVar;
using test::ScratchFolder;

class SetupFolders : public ::testing::Test {
protected:
    void SetUp() override { ResetSetupState(); }
    void TearDown() override { ResetSetupState(); }
};

TEST_F(SetupFolders, OnThisSystem) {
    ScopedEnvVar drive("SystemDrive", "Q:");
    SetupState.UserIsAdmin = true;
    FixFolders();
    EXPECT_EQ(SetupState.WinFolder, WindowsFolder());
    EXPECT_EQ(SetupState.SysFolder, SystemFolder());  // inside the Windows folder: taken without a test
    EXPECT_EQ(SetupState.SystemDrive, "Q:");          // NT: from the environment
    EXPECT_EQ(SetupState.ProgFilesFolder, ProgramFilesFromRegistry());
    EXPECT_EQ(SetupState.CommonFilesFolder, CommonFilesFromRegistry());
    const int shellFolders[8] = {csidl::DesktopDirectory, csidl::StartMenu, csidl::Programs,
                                 csidl::Startup, csidl::CommonDesktopDirectory, csidl::CommonStartMenu,
                                 csidl::CommonPrograms, csidl::CommonStartup};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(SetupState.ShellFolderPaths[i].empty()) << i;
        EXPECT_EQ(SetupState.ShellFolderPaths[i], StripBackslashKeepRoot(ShellFolderPath(shellFolders[i]))) << i;
    }
}

TEST_F(SetupFolders, UsersWithoutAdministratorRightsGetTheirOwnFolders) {
    SetupState.UserIsAdmin = false;
    FixFolders();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(SetupState.ShellFolderPaths[4 + i], SetupState.ShellFolderPaths[i]) << i;
}

TEST_F(SetupFolders, SystemDriveFallsBackToTheWindowsFoldersDrive) {
    {
        ScopedEnvVar drive("SystemDrive", std::nullopt);
        FixFolders();
        EXPECT_EQ(SetupState.SystemDrive, ExtractFileDrive(WindowsFolder()));
    }
    {
        // Outside NT the variable is not consulted.
        ScopedEnvVar drive("SystemDrive", "Q:");
        ScopedWindowsVersion win95(WindowsVersion::Of(4, 0, kPlatformWin32Windows));
        FixFolders();
        EXPECT_EQ(SetupState.SystemDrive, "C:");
    }
}

TEST_F(SetupFolders, BelowWindows4ProgramFilesFallBackAndShellFoldersStayEmpty) {
    ScopedEnvVar drive("SystemDrive", "Q:");
    ScopedWindowsVersion nt351(WindowsVersion::Of(3, 51, kPlatformWin32NT));
    SetupState.UserIsAdmin = true;
    FixFolders();
    EXPECT_EQ(SetupState.ProgFilesFolder, "Q:\\Program Files");
    EXPECT_EQ(SetupState.CommonFilesFolder, "Q:\\Program Files\\Common Files");
    for (const std::string& folder : SetupState.ShellFolderPaths) EXPECT_EQ(folder, "");
}

TEST_F(SetupFolders, CommonOrUserFolder) {
    const std::string user = ShellFolderPath(csidl::Programs), common = ShellFolderPath(csidl::CommonPrograms);
    ASSERT_NE(user, common);
    SetupState.UserIsAdmin = true;
    EXPECT_EQ(CommonOrUserFolder(csidl::CommonPrograms, csidl::Programs), common);
    EXPECT_EQ(CommonOrUserFolder(0x7F, csidl::Programs), user);  // no such common folder
    SetupState.UserIsAdmin = false;
    EXPECT_EQ(CommonOrUserFolder(csidl::CommonPrograms, csidl::Programs), user);
}

TEST(WritableSystemFolder, TestedOnlyOutsideTheWindowsFolder) {
    ScratchFolder win{"qv win"}, sys{"qv sys"};
    // A prefix (compared with case) is taken without a test, even when missing.
    EXPECT_EQ(WritableSystemFolder(win.path(), win.path() + "\\missing"), win.path() + "\\missing");
    // Outside: a folder where a file can be made is kept, and the test file is gone.
    EXPECT_EQ(WritableSystemFolder(win.path(), sys.path()), sys.path());
    EXPECT_TRUE(test::ListFolder(sys.path()).empty());
    // One where nothing can be made gives way to the Windows folder.
    EXPECT_EQ(WritableSystemFolder(win.path(), sys.path() + "\\missing"), win.path());
    EXPECT_EQ(WritableSystemFolder(win.path(), "Z:\\proc"), win.path());
    // The prefix test minds the case: this one is tested, and fails.
    std::string upper = win.path();
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(upper, win.path());
    EXPECT_EQ(WritableSystemFolder(win.path(), upper + "\\missing"), win.path());
}

}  // namespace
}  // namespace qv
