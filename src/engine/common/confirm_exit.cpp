#include "engine/common/confirm_exit.h"

#include "engine/common/app_msg_box.h"

namespace qv {

bool ConfirmExitSetup() {
    return AppMsgBox(
               "设置没有完成。您若现在退出设置程序，程序将不被安装。\r\n\r\n您可稍后运行设置程序，完成安装。\r\n\r\n"
               "单击<是>，退出设置程序。单击<否>，继续设置程序。",
               "退出设置程序", mbtConfirmation, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

}  // namespace qv
