// Setup.exe (or a build of its run with stand-in stages) run in a process
// of its own, beside setup data written for the test, and driven from
// outside as a user would: its windows found by their captions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "engine/common/win_text.h"
#include "testkit/boxes.h"
#include "testkit/start_process.h"
#include "testkit/scratch.h"
#include "testkit/setup_files.h"
#include "testkit/wizard_driver.h"

namespace qv::test {

// Setup.exe (or a build of its run with stand-in stages) copied beside its
// setup data, started with a private temporary folder.
class SetupExeWindow : public ::testing::Test {
protected:
    void SetUp() override { Install("Setup.exe"); }
    void Install(const std::string& programName) {
        // The shipped Setup.exe from the engine under test; the test builds
        // of its run lie beside the test program.
        const std::string folder = programName == "Setup.exe" ? EngineFolder() : ProgramFolder();
        ASSERT_TRUE(CopyFileW(Widen(folder + "\\" + programName).c_str(), Widen(program()).c_str(), FALSE));
        WriteSetupDataFile(folder_.file("SETUP.0"), data_);
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
        ScopedEnvVar tmp("TMP", temp_.path());
        ScopedEnvVar tempVar("TEMP", temp_.path());
        std::wstring commandLine = Widen("\"" + program() + "\" " + arguments);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!StartProcess(nullptr, commandLine, FALSE, 0, nullptr, nullptr, si, pi)) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        return true;
    }

    // Closes the window and answers the exit question; the full exit code.
    DWORD Leave(HWND window) {
        for (int i = 0; i < 100 && FindMessageBox(pid_); ++i) Sleep(50);
        PostMessageW(window, WM_CLOSE, 0, 0);
        HWND question = WaitForMessageBox(pid_, 10000);
        if (!question) return 0xFFFFFFFF;
        EXPECT_EQ(ReadMessageBox(question).Caption, "退出设置程序");
        PressButton(question, IDYES);
        if (WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }

    SetupData data_ = SampleSetupData();
    ScratchFolder folder_{"qv 背景"};
    ScratchFolder temp_{"qv temp"};
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

}  // namespace qv::test
