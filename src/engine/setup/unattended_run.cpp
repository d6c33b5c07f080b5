#include "engine/setup/unattended_run.h"

#include <windows.h>

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
    "/RECOVER\t只撤消上次没有完成的安装所作的更改，不安装\r\n"
    "/?, /HELP\t显示这个说明\r\n\r\n"
    "退出代码：\r\n"
    "0\t安装完成\r\n"
    "1602\t用户取消了安装\r\n"
    "1603\t安装失败，所做的改动已经恢复\r\n"
    "1618\t这个程序的另一个设置程序正在运行\r\n"
    "3010\t安装完成，需要重新启动计算机\r\n"
    "1641\t安装完成，已开始重新启动计算机";

void ShowCommandLineHelp() { AppMsgBox(kCommandLineHelp, "设置程序", mbtInformation, MB_OK); }


void StartUnattendedRun(const std::vector<std::string>& params) {
    if (SetupState.SuppressMsgBoxes) {
        SetMessagesSuppressed(true);
        SetMsgBoxAnswerer(UnattendedAnswer);
    }
    if (!SetupState.LogRequested) return;
    std::string path = SetupState.LogFileName;
    const std::string mode =
        std::string(SetupState.VerySilent ? "very silent" : SetupState.Silent ? "silent" : "wizard") +
        (SetupState.SuppressMsgBoxes ? ", questions answered by the unattended table" : "") +
        (SetupState.NoRestart ? ", never restart" : "");
    if (!StartRunLog(path, "QV Setup Log", "QV Setup 1.0 installation log", mode)) {
        // The installation goes on without its log; a person is told.
        if (!SetupState.SuppressMsgBoxes && !SetupState.VerySilent)
            AppMsgBoxFmt("不能建立安装日志文件：\r\n%s\r\n\r\n安装将继续进行，但不记录日志。", {path}, "", mbtError,
                         MB_OK);
        return;
    }
    (void)params;
}

}  // namespace qv
