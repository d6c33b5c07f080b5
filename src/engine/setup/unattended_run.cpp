#include "engine/setup/unattended_run.h"

#include <windows.h>

#include <set>

#include "engine/common/app_msg_box.h"
#include "engine/common/install_log.h"
#include "engine/common/process_command_line.h"
#include "engine/common/win_text.h"
#include "engine/common/unattended.h"
#include "engine/common/windows_version.h"
#include "engine/setup/setup_state.h"

namespace qv {

const char kCommandLineHelp[] =
    "用法：Setup [/SL 数据文件 数据偏移 文件数据偏移] [选项]\r\n\r\n"
    "/DIR=文件夹\t安装到这个文件夹\r\n"
    "/GROUP=程序组\t把图标放进这个程序组\r\n"
    "/NOICONS\t不建立图标\r\n"
    "/SILENT\t不显示向导，只显示安装进度\r\n"
    "/VERYSILENT\t不显示任何窗口\r\n"
    "/SUPPRESSMSGBOXES\t不显示问题，按既定规则回答：保留计算机上已有的文件，出错时放弃安装\r\n"
    "/NORESTART\t从不重新启动计算机\r\n"
    "/LOG[=文件]\t把安装过程写入日志文件（不给文件名时写在临时文件夹中）\r\n"
    "/?, /HELP\t显示这个说明\r\n\r\n"
    "退出代码：\r\n"
    "0\t安装完成\r\n"
    "1602\t用户取消了安装\r\n"
    "1603\t安装失败，所做的改动已经恢复\r\n"
    "1618\t这个程序的另一个设置程序正在运行\r\n"
    "3010\t安装完成，需要重新启动计算机\r\n"
    "1641\t安装完成，已开始重新启动计算机";

void ShowCommandLineHelp() { AppMsgBox(kCommandLineHelp, "设置程序", mbtInformation, MB_OK); }

namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

int Answered(int button, const char* rule) {
    LogLine(std::string("Unattended answer: ") + rule);
    NoteUnattendedAnswer(button, rule);
    return button;
}

}  // namespace

int UnattendedAnswer(const MsgBoxQuestion& q) {
    const UINT buttons = q.Flags & MB_TYPEMASK;
    const std::string& t = q.Text;
    if (Has(t, "系统已存在一个比设置程序将要安装的文件版本更新的文件"))
        return Answered(IDYES, "keep the newer existing file");
    if (Has(t, "文件已经存在 \r\n\r\n是否覆盖此文件？")) return Answered(IDNO, "keep the existing file");
    if (q.Caption == "文件夹已存在") return Answered(IDYES, "install into the existing folder");
    if (q.Caption == "没有足够的磁盘空间") return Answered(IDNO, "not enough free space: stop");
    if (Has(t, "文件属性为只读。")) {
        // The caption names the file: its attribute is cleared once; a file
        // that is read-only again is a failure, not a loop.
        static std::set<std::string> cleared;
        if (cleared.insert(q.Caption).second) return Answered(IDRETRY, "clear the read-only attribute once");
        return Answered(IDABORT, "the file stays read-only: fail the installation");
    }
    if (Has(t, "设置没有完成。")) return Answered(IDYES, "the user cancelled: leave the setup");
    if (Has(t, "共享文件")) return Answered(IDNO, "keep the shared file");
    switch (buttons) {
        case MB_OK: return Answered(IDOK, "OK");
        case MB_ABORTRETRYIGNORE: return Answered(IDABORT, "a retry question: fail the installation");
        case MB_RETRYCANCEL:
        case MB_OKCANCEL:
        case MB_YESNOCANCEL: return Answered(IDCANCEL, "an unknown question: cancel");
        case MB_YESNO: return Answered(IDNO, "an unknown question: no");
        default: return Answered(IDCANCEL, "an unknown question: cancel");
    }
}

void StartUnattendedRun(const std::vector<std::string>& params) {
    if (SetupState.SuppressMsgBoxes) {
        SetMessagesSuppressed(true);
        SetMsgBoxAnswerer(UnattendedAnswer);
    }
    if (!SetupState.LogRequested) return;
    std::string path = SetupState.LogFileName;
    if (path.empty()) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        path = DefaultInstallLogPath(Narrow(temp));
    }
    if (!OpenInstallLog(path)) {
        // The installation goes on without its log; a person is told.
        if (!SetupState.SuppressMsgBoxes && !SetupState.VerySilent)
            AppMsgBoxFmt("不能建立安装日志文件：\r\n%s\r\n\r\n安装将继续进行，但不记录日志。", {path}, "", mbtError,
                         MB_OK);
        return;
    }
    LogLine("QV Setup 1.0 installation log");
    LogLine("Command line: " + CommandLineTail());
    const WindowsVersion v = GetWindowsVersion();
    LogLine("Windows " + std::to_string(v.Major()) + "." + std::to_string(v.Minor()) +
            (v.PlatformId == kPlatformWin32NT ? " (NT)" : ""));
    LogLine(std::string("Mode: ") + (SetupState.VerySilent ? "very silent" : SetupState.Silent ? "silent" : "wizard") +
            (SetupState.SuppressMsgBoxes ? ", questions answered by the unattended table" : "") +
            (SetupState.NoRestart ? ", never restart" : ""));
    (void)params;
}

}  // namespace qv
