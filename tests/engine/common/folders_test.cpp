#include <gtest/gtest.h>

#include <shlobj.h>

#include "core/text/path_strings.h"
#include "engine/common/folders.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScopedEnvVar;
using test::ScratchFolder;

const WindowsVersion kNT351 = WindowsVersion::Of(3, 51, kPlatformWin32NT);
const WindowsVersion kWin95 = WindowsVersion::Of(4, 0, kPlatformWin32Windows);

TEST(Environment, ReadsSetVariablesOfAnyLength) {
    ScopedEnvVar shortValue("QV_TEST_VAR", "示例 value");
    EXPECT_EQ(ReadEnvVar("QV_TEST_VAR"), "示例 value");
    const std::string longText(1000, 'x');  // past the first buffer of 255
    ScopedEnvVar longValue("QV_TEST_LONG", longText);
    EXPECT_EQ(ReadEnvVar("QV_TEST_LONG"), longText);
    ScopedEnvVar unset("QV_TEST_UNSET", std::nullopt);
    EXPECT_EQ(ReadEnvVar("QV_TEST_UNSET"), "");
}

TEST(SystemFolders, WindowsAndSystemFoldersWithoutBackslash) {
    const std::string win = WindowsFolder(), sys = SystemFolder();
    EXPECT_TRUE(FolderExists(win)) << win;
    EXPECT_TRUE(FolderExists(sys)) << sys;
    EXPECT_NE(win.back(), '\\');
    EXPECT_EQ(sys.compare(0, win.size(), win), 0) << "Wine keeps system32 in the Windows folder";
}

class TempFolderChoice : public ::testing::Test {
protected:
    ScratchFolder tmp_{"qv tmp"}, temp_{"qv temp"};
};

TEST_F(TempFolderChoice, TmpFirst) {
    ScopedEnvVar tmp("TMP", tmp_.path()), temp("TEMP", temp_.path());
    EXPECT_EQ(TempFolder(), tmp_.path() + "\\");
}

TEST_F(TempFolderChoice, TempWhenTmpNamesNoFolder) {
    ScopedEnvVar tmp("TMP", tmp_.file("missing")), temp("TEMP", temp_.path());
    EXPECT_EQ(TempFolder(), temp_.path() + "\\");
}

TEST_F(TempFolderChoice, WindowsFolderWhenNeitherNamesAFolder) {
    ScopedEnvVar tmp("TMP", tmp_.file("missing")), temp("TEMP", std::nullopt);
    EXPECT_EQ(TempFolder(), WindowsFolder() + "\\");
}

TEST_F(TempFolderChoice, RelativeFolderIsMadeAbsolute) {
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(Widen(tmp_.path()).c_str()));
    CreateDirectoryW(L"sub", nullptr);
    {
        ScopedEnvVar tmp("TMP", "sub\\");
        EXPECT_EQ(TempFolder(), tmp_.path() + "\\sub\\");
    }
    SetCurrentDirectoryW(current);
}

std::string ShellGetFolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return Narrow(path);
}

TEST(ShellFolders, TheEightFoldersOfTheRealShell) {
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP,
                      CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS,
                      CSIDL_COMMON_STARTUP}) {
        const std::string path = ShellFolderPath(csidl);
        EXPECT_FALSE(path.empty()) << csidl;
        EXPECT_EQ(path, ShellGetFolderPath(csidl)) << csidl;
    }
    EXPECT_NE(ShellFolderPath(CSIDL_STARTMENU), ShellFolderPath(CSIDL_COMMON_STARTMENU));
}

TEST(ShellFolders, NoneBelowWindows4AndNoneForUnknownFolders) {
    EXPECT_EQ(ShellFolderPath(0x7F), "");
    ScopedWindowsVersion old(kNT351);
    EXPECT_EQ(ShellFolderPath(CSIDL_PROGRAMS), "");
}

TEST(CurrentVersionValues, ProgramFilesFromTheRegistry) {
    std::string expected;
    wchar_t value[MAX_PATH];
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(ProgramFilesFromRegistry(), Narrow(value));
    EXPECT_FALSE(CommonFilesFromRegistry().empty());
    EXPECT_EQ(CurrentVersionValue("NoSuchValueOfQV"), "");
    ScopedWindowsVersion old(kNT351);
    EXPECT_EQ(ProgramFilesFromRegistry(), "");
}

TEST(Platform, TestsFollowTheWindowsVersion) {
    EXPECT_TRUE(IsWinNT());  // Wine is an NT
    EXPECT_TRUE(HasWin4Shell());
    {
        ScopedWindowsVersion old(kNT351);
        EXPECT_TRUE(IsWinNT());
        EXPECT_FALSE(HasWin4Shell());
        EXPECT_EQ(GetWindowsVersion().Major(), 3);
        EXPECT_EQ(GetWindowsVersion().Minor(), 51);
    }
    {
        ScopedWindowsVersion old(kWin95);
        EXPECT_FALSE(IsWinNT());
        EXPECT_TRUE(HasWin4Shell());
        EXPECT_TRUE(HasAdminRights());  // no rights to check outside NT
    }
    EXPECT_TRUE(HasWin4Shell());  // asked again after the change
}

}  // namespace
}  // namespace qv
