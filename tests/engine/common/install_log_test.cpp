// The installation log: its file and line format, the paths it cannot
// open, its default name, the questions it records with their answers, and
// the words it uses for errors, exceptions and registry roots.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "core/errors.h"
#include "core/setupdata/records.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/message_box.h"
#include "testkit/boxes.h"
#include "testkit/install_log_file.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

using test::ScopedInstallLog;

TEST(InstallLog, WritesTimedUtf8LinesWithIndentedContinuationsOnlyWhileOpen) {
    LogLine("before any log");  // nowhere to go, and no failure
    EXPECT_FALSE(InstallLogIsOpen());
    EXPECT_EQ(InstallLogPath(), "");
    std::string text;
    {
        ScopedInstallLog log;
        EXPECT_TRUE(InstallLogIsOpen());
        EXPECT_EQ(InstallLogPath(), log.path());
        LogLine("first");
        LogLine("复制 \"C:\\应用\\a.txt\"\r\nsecond line\nthird");
        text = log.RawText();
        CloseInstallLog();
        LogLine("after the close");
        EXPECT_EQ(log.RawText(), text);
        EXPECT_FALSE(InstallLogIsOpen());
    }
    const std::regex expected(
        "\xEF\xBB\xBF"
        R"(\d\d:\d\d:\d\d\.\d\d\d  first\r\n)"
        R"(\d\d:\d\d:\d\d\.\d\d\d  复制 "C:\\应用\\a\.txt"\r?\n {14}second line\r?\n {14}third\r\n)");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST(InstallLog, APathThatCannotBeCreatedLeavesNoLogAndTheDefaultNameTellsTheTime) {
    test::ScratchFolder folder("qv log paths");
    EXPECT_FALSE(OpenInstallLog(folder.file("no such folder\\setup.log")));
    EXPECT_FALSE(InstallLogIsOpen());
    EXPECT_EQ(InstallLogPath(), "");

    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::regex name(R"(C:\\Logs\\QV Setup Log (\d{4})-\d\d-\d\d \d\d-\d\d-\d\d\.txt)");
    for (const char* folder : {"C:\\Logs", "C:\\Logs\\"}) {
        const std::string path = DefaultInstallLogPath(folder);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(path, match, name)) << path;
        EXPECT_EQ(match[1].str(), std::to_string(now.wYear));
    }
}

TEST(InstallLog, EveryQuestionIsLoggedWithItsAnswerAndWhoGaveIt) {
    ScopedInstallLog log;
    {
        test::ScriptedBoxes boxes(IDRETRY);
        MsgBoxQuestion question;
        question.Text = "错误：试图复制文件时出错。\r\n\r\n按<重试>再试";
        question.Caption = "C:\\应用\\a.txt";
        question.Flags = MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONEXCLAMATION;
        EXPECT_EQ(ShowMessageBox(nullptr, question), IDRETRY);
    }
    // The real box, answered by a second thread that plays the user.
    std::thread user([] {
        if (HWND box = test::WaitForMessageBox(GetCurrentProcessId(), 20000)) test::PressButton(box, IDNO);
    });
    MsgBoxQuestion question;
    question.Text = "是否覆盖此文件？";
    question.Caption = "Confirm";
    question.Flags = MB_YESNO | MB_ICONQUESTION;
    EXPECT_EQ(ShowMessageBox(nullptr, question), IDNO);
    user.join();

    EXPECT_EQ(log.Records(), (std::vector<std::string>{
                                 "message box \"C:\\应用\\a.txt\" (warning icon; buttons Abort, Retry, Ignore; "
                                 "default Retry):\n错误：试图复制文件时出错。\n\n按<重试>再试",
                                 "answer: Retry, answered automatically",
                                 "message box \"Confirm\" (question icon; buttons Yes, No; default Yes):\n是否覆盖此文件？",
                                 "answer: No, answered by the user",
                             }));
}

TEST(LogText, NamesErrorsExceptionsRootsAndVersions) {
    EXPECT_EQ(WindowsErrorText(ERROR_ACCESS_DENIED).rfind("Windows error 5 \"", 0), 0u)
        << WindowsErrorText(ERROR_ACCESS_DENIED);
    const auto kindOf = [](auto error) {
        try {
            throw error;
        } catch (...) {
            return CurrentExceptionKindText();
        }
    };
    EXPECT_EQ(kindOf(EInOutError(io_code::DiskFull)), "EInOutError, run-time code 101");
    EXPECT_EQ(kindOf(EZlibDataError()), "EZlibDataError");
    EXPECT_EQ(kindOf(Exception("x")), "Exception");
    EXPECT_EQ(kindOf(std::bad_alloc()), "std::bad_alloc");
    EXPECT_EQ(kindOf(42), "an exception that is no std::exception");
    try {
        throw ESourceFileCorrupted();
    } catch (...) {
        EXPECT_EQ(CurrentExceptionText(), "\"源文件已损坏。\" (ESourceFileCorrupted)");
    }
    EXPECT_EQ(RegistryRootName(kHkeyCurrentUser), "HKEY_CURRENT_USER");
    EXPECT_EQ(RegistryRootName(7), "root key 0x00000007");
    EXPECT_EQ(VersionText(0x00020000, 0x00030004), "2.0.3.4");
    EXPECT_EQ(VersionText(0x80000000, 0x8000FFFF), "32768.0.32768.65535");
}

}  // namespace
}  // namespace qv
