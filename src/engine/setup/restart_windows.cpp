#include "engine/setup/restart_windows.h"

#include <windows.h>

#include "engine/common/message_box.h"
#include "engine/common/platform.h"
#include "engine/common/win_handles.h"

namespace qv {

namespace {
void RestartFailed() {
    MsgBoxQuestion q;
    q.Text = "设置程序不能重新启动计算机，请手工启动。";
    q.Flags = MB_ICONWARNING;
    ShowMessageBox(nullptr, q);
}

bool EnableShutdownPrivilege() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid);
    AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
    // AdjustTokenPrivileges reports a missing privilege only through GetLastError.
    return GetLastError() == ERROR_SUCCESS;
}
}  // namespace

bool RestartWindows() {
    if (IsWinNT() && !EnableShutdownPrivilege()) {
        RestartFailed();
        return false;
    }
    if (!ExitWindowsEx(EWX_REBOOT, 0)) {
        RestartFailed();
        return false;
    }
    return true;
}

}  // namespace qv
