#include "core/ui/wizard_text.h"

#include "core/text/path_strings.h"

namespace qv {

const char kRestartQuestionTemplate[] = "为完成[name]的安装, 设置程序将重新启动您的计算机，现在想重新启动吗？";

const char kWelcomeTextTemplate[] =
    "欢迎安装\"[name]\"程序。设置程序将安装\"[name/ver]\"到 您的计算机中。\r\n\r\n"
    "建议：在执行<下一步>之前，您最好关闭所有正在运行的其他程序。这样可以帮助防止与安装过程产生任何冲突。\r\n\r\n"
    "按<下一步>继续, 或按<取消>退出设置程序。";

std::string RequiredSpaceText(std::uint64_t totalFileSize) {
    constexpr std::uint64_t kMegabyte = 1048576;
    std::uint64_t megabytes = totalFileSize / kMegabyte;
    const std::uint64_t rest = totalFileSize % kMegabyte * 10;
    std::uint64_t tenths = rest / kMegabyte;
    if (rest % kMegabyte != 0) ++tenths;
    if (tenths == 10) {
        ++megabytes;
        tenths = 0;
    }
    return std::to_string(megabytes) + "." + std::to_string(tenths);
}

std::string ExpandWizardText(std::string text, const WizardTextValues& values) {
    StringReplaceAll(text, "[name]", values.AppName);
    StringReplaceAll(text, "[name/ver]", values.AppNameVersion);
    StringReplaceAll(text, "[mb]", values.Megabytes);
    return text;
}

std::string ReadyTextTemplate(bool noFolderPage, bool groupPageSkipped) {
    std::string text = "设置程序已准备好开始安装 [name]。\r\n\r\n";
    text += noFolderPage && groupPageSkipped ? "按<安装>继续设置程序。" : "单击<安装>开始安装，或按<上一步>重新设置。";
    return text;
}

std::string FinishedTextTemplate(bool hasIconsToCreate) {
    std::string text = "设置程序已经完成 [name] 的安装。";
    if (hasIconsToCreate) text += "现在您可以通过选择已安装的图标来启动这个应用程序。";
    return text + "\r\n\r\n按<完成>退出设置程序。";
}

}  // namespace qv
