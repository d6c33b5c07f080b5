// The real Setup.exe with its background window, driven from outside as a
// user would: the about box of the system menu, the close box and the exit
// question.
#include <gtest/gtest.h>

#include <utility>

#include "engine/common/win_text.h"
#include "engine/setup/exit_codes.h"
#include "engine/setup/main_form.h"
#include "testkit/boxes.h"
#include "testkit/scratch.h"
#include "testkit/setup_files.h"

namespace qv {
namespace {

struct WindowOf {
    DWORD pid;
    std::wstring caption;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<WindowOf*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    if (pid == s->pid && IsWindowVisible(w) && s->caption == text) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD pid, const std::string& caption, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    do {
        WindowOf s{pid, Widen(caption), nullptr};
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(50);
    } while (static_cast<int>(end - GetTickCount()) > 0);
    return nullptr;
}

// Setup.exe (or a build of its run with stand-in stages) copied beside its
// setup data, started with a private temporary folder.
class SetupExeWindow : public ::testing::Test {
protected:
    void SetUp() override { Install("Setup.exe"); }
    void Install(const std::string& programName) {
        ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\" + programName).c_str(), Widen(program()).c_str(), FALSE));
        test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    }
    void TearDown() override {
        if (!process_) return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
    }
    std::string program() const { return folder_.file("Setup.exe"); }

    // Starts the program and waits for its background window.
    HWND Start(const std::string& arguments) {
        if (!Launch(arguments)) return nullptr;
        return WaitForWindow(pid_, "安装 - " + data_.SetupInfo.AppName, 30000);
    }
    // Starts the program and waits for its end; the full exit code.
    DWORD RunToEnd(const std::string& arguments) {
        if (!Launch(arguments) || WaitForSingleObject(process_, 60000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    bool Launch(const std::string& arguments) {
        test::ScopedEnvVar tmp("TMP", temp_.path());
        test::ScopedEnvVar tempVar("TEMP", temp_.path());
        std::wstring commandLine = Widen("\"" + program() + "\" " + arguments);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        return true;
    }

    // Closes the window and answers the exit question; the full exit code.
    DWORD Leave(HWND window) {
        for (int i = 0; i < 100 && test::FindMessageBox(pid_); ++i) Sleep(50);
        PostMessageW(window, WM_CLOSE, 0, 0);
        HWND question = test::WaitForMessageBox(pid_, 10000);
        if (!question) return 0xFFFFFFFF;
        EXPECT_EQ(test::ReadMessageBox(question).Caption, "退出设置程序");
        test::PressButton(question, IDYES);
        if (WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }

    SetupData data_ = test::SampleSetupData();
    test::ScratchFolder folder_{"qv 背景"};
    test::ScratchFolder temp_{"qv temp"};
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

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
