// The real Setup.exe with its background window, driven from outside as a
// user would: the about box of the system menu, the close box and the exit
// question.
#include <gtest/gtest.h>

#include <utility>

#include "engine/common/win_text.h"
#include "engine/common/exit_codes.h"
#include "engine/setup/main_form.h"
#include "setup_exe_fixture.h"
#include "testkit/boxes.h"
#include "testkit/scratch.h"
#include "testkit/setup_files.h"

namespace qv {
namespace {

using test::SetupExeWindow;
using test::WaitForWindow;

TEST_F(SetupExeWindow, BackgroundWindowAboutBoxAndLeavingWith1602) {
    // Good data: the background window shows the application's name over the whole screen.
    HWND window = Start("/DIR=\"D:\\My Apps\"");
    ASSERT_NE(window, nullptr);
    RECT rc;
    GetWindowRect(window, &rc);
    EXPECT_LE(rc.left, 0);
    EXPECT_LE(rc.top, 0);
    EXPECT_GE(rc.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_GE(rc.bottom, GetSystemMetrics(SM_CYSCREEN));
    // A private temporary folder exists while the run goes on.
    EXPECT_EQ(test::ListFolder(temp_.path(), "qv-*").size(), 1u);

    // The about box of the system menu.
    PostMessageW(window, WM_SYSCOMMAND, kAboutCommandId, 0);
    HWND about = test::WaitForMessageBox(pid_, 10000);
    ASSERT_NE(about, nullptr);
    const test::SeenBox aboutBox = test::ReadMessageBox(about);
    EXPECT_EQ(aboutBox.Caption, "关于设置程序");
    EXPECT_EQ(aboutBox.Text.rfind("设置程序版本 1.0", 0), 0u) << aboutBox.Text;
    test::PressButton(about, IDOK);

    // The close box asks the exit question; No keeps the run going.
    for (int i = 0; i < 100 && test::FindMessageBox(pid_); ++i) Sleep(50);
    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND question = test::WaitForMessageBox(pid_, 10000);
    ASSERT_NE(question, nullptr);
    test::PressButton(question, IDNO);
    EXPECT_EQ(WaitForSingleObject(process_, 1000), static_cast<DWORD>(WAIT_TIMEOUT));

    // Yes ends the run: cancelled by the user, the temporary folder gone.
    EXPECT_EQ(Leave(window), exit_code::UserCancelled);
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
}

TEST_F(SetupExeWindow, SlFormReachesTheBackgroundWindow) {
    HWND window = Start("/SL \"" + folder_.file("SETUP.0") + "\" 0 0");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Leave(window), exit_code::UserCancelled);
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
}

// The run's outcome reaches the exit code: a rolled-back failure, a cancel
// during the installation, and a completed run whose setup data asks for a
// restart that was not chosen.
TEST_F(SetupExeWindow, InstallOutcomesGiveTheirExitCodes) {
    Install("staged_setup.exe");
    const struct {
        const char* install;
        decltype(TSetupHeaderRec::Options) options;
        DWORD code;
    } runs[] = {
        {"fail", 0, exit_code::FatalError},
        {"cancel", 0, exit_code::UserCancelled},
        {"complete", optRestartAfter, exit_code::RestartRequired},
    };
    for (const auto& run : runs) {
        data_.SetupInfo.Options = run.options;
        test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
        test::ScopedEnvVar install("QV_TEST_INSTALL", run.install);
        EXPECT_EQ(RunToEnd(""), run.code) << run.install;
        CloseHandle(std::exchange(process_, nullptr));
        EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty()) << run.install;
    }
}

}  // namespace
}  // namespace qv
