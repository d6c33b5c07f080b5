// What the uninstaller tells at its end, and the exit code that goes with it.
#include <gtest/gtest.h>
#include <windows.h>

#include "core/setupdata/records.h"
#include "engine/common/exit_codes.h"
#include "engine/uninstall/uninstall_report.h"

namespace qv {
namespace {

TChangeEntry Entry(TChangeKind kind, const std::vector<std::string>& strings, std::uint32_t flags = 0) {
    return TChangeEntry::Make(kind, strings, flags);
}

void Hear(TUninstallReport& report, const TChangeEntry& entry, TUndoOutcome outcome, unsigned long error = 0,
          const std::string& userReason = "") {
    report.EntryUndone({entry, 1, 1, outcome, "reason", error, userReason});
}

TEST(UninstallReport, EachKindIsNamedInTheUsersWords) {
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekFile, {"C:\\应用\\a.dll", ""})), "文件 C:\\应用\\a.dll");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekFolder, {"C:\\应用"})), "文件夹 C:\\应用");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekProgManItem, {"工具", ""})), "程序组 工具");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekProgManItem, {"工具", "示例"})), "程序组 工具 中的图标 示例");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekIniKey, {"", "Sec", "Key"})), "WIN.INI 中 [Sec] 的 Key");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekIniSection, {"C:\\a.ini", "Sec"})), "C:\\a.ini 中的 [Sec]");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekRegKeyTree, {"Software\\App"}, kHkeyCurrentUser)),
              "注册表键 HKEY_CURRENT_USER\\Software\\App");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekRegValue, {"Software\\App", "Path"}, kHkeyLocalMachine)),
              "注册表键 HKEY_LOCAL_MACHINE\\Software\\App 中的值 Path");
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekRegDefaultValue, {"Software\\App"}, kHkeyLocalMachine)),
              "注册表键 HKEY_LOCAL_MACHINE\\Software\\App 的默认值");
    // A root that no predefined key has (a log that was written by hand).
    EXPECT_EQ(ChangeEntryObjectText(Entry(ekRegKeyIfEmpty, {"Software\\QVT"}, 0x80000099)),
              "注册表键 非预定义的根键 0x80000099\\Software\\QVT");
}

TEST(UninstallReport, FailuresOutweighRestartsWhichOutweighSuccess) {
    TUninstallReport report;
    Hear(report, Entry(ekFile, {"C:\\a.txt", ""}), TUndoOutcome::Undone);
    Hear(report, Entry(ekFolder, {"C:\\gone"}), TUndoOutcome::PassedOver);
    EXPECT_EQ(report.ExitCode(), exit_code::Success);
    EXPECT_EQ(report.MessageText("应用"), "“应用”已经从计算机中删除。");

    Hear(report, Entry(ekFile, {"C:\\busy.dll", ""}), TUndoOutcome::AtRestart);
    EXPECT_EQ(report.ExitCode(), exit_code::RestartRequired);
    EXPECT_EQ(report.MessageText("应用"),
              "“应用”已经从计算机中删除。\r\n\r\n下面的项目正在使用，将在重新启动计算机后删除：\r\nC:\\busy.dll");

    Hear(report, Entry(ekFile, {"C:\\locked.dll", ""}), TUndoOutcome::Failed, ERROR_ACCESS_DENIED);
    Hear(report, Entry(ekRegKeyTree, {"Software\\App"}, kHkeyCurrentUser), TUndoOutcome::Failed);
    Hear(report, Entry(ekFile, {"C:\\控件.ocx", ""}), TUndoOutcome::Failed, 0, "不能注销DLL/OCX：DLL注销服务返回 -1");
    EXPECT_EQ(report.ExitCode(), exit_code::FatalError);
    const std::string text = report.MessageText("应用");
    EXPECT_EQ(text.rfind("“应用”的反安装没有全部完成。下面的项目不能删除：\r\n\r\n文件 C:\\locked.dll：", 0), 0u) << text;
    EXPECT_NE(text.find("（代码 5）"), std::string::npos) << text;
    EXPECT_NE(text.find("注册表键 HKEY_CURRENT_USER\\Software\\App：不能删除"), std::string::npos) << text;
    EXPECT_NE(text.find("文件 C:\\控件.ocx：不能注销DLL/OCX：DLL注销服务返回 -1"), std::string::npos) << text;
}

TEST(UninstallReport, LongListsAreCutWithTheNumberOfTheRest) {
    TUninstallReport report;
    for (int i = 0; i < 5; ++i) Hear(report, Entry(ekFile, {"C:\\f" + std::to_string(i), ""}), TUndoOutcome::AtRestart);
    EXPECT_EQ(report.MessageText("应用", 2),
              "“应用”已经从计算机中删除。\r\n\r\n下面的项目正在使用，将在重新启动计算机后删除：\r\nC:\\f0\r\nC:\\f1\r\n……另有 3 项");
}

}  // namespace
}  // namespace qv

#include <cstdlib>

#include "engine/controls/window.h"
#include "engine/uninstall/uninstall_form.h"

namespace qv {
namespace {

// The progress window as the uninstaller shows it: its caption and text,
// the gauge over the steps, and no way to close it before the end.
TEST(UninstallForm, ShowsTheApplicationAndCountsTheSteps) {
    const auto form = MakeOwned<TUninstallForm>("你好", 4);
    form->Show();
    EXPECT_EQ(form->Text(), "反安装");
    EXPECT_EQ(form->StatusLabel.Text(), "正在删除“你好”，请稍候...");
    EXPECT_EQ(form->ProgressGauge.MaxValue(), 4);
    form->Step("C:\\Program Files\\你好\\hello.exe");
    form->Step("C:\\Program Files\\你好\\readme.txt");
    EXPECT_EQ(form->ProgressGauge.Progress(), 2);
    EXPECT_EQ(form->ItemLabel.Text(), "C:\\Program Files\\你好\\readme.txt");
    // For a screenshot: QV_SHOW_MS keeps the window up that long.
    if (const char* ms = std::getenv("QV_SHOW_MS")) {
        for (int waited = 0; waited < std::atoi(ms); waited += 50) form->Step(form->ItemLabel.Text()), Sleep(50);
    }
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(form->Handle())) << "it stays until the run has finished";
    form->Finish();
}

}  // namespace
}  // namespace qv
