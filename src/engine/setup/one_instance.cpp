#include "engine/setup/one_instance.h"

#include <windows.h>

#include <cstdio>
#include <set>

#include "engine/common/app_msg_box.h"
#include "engine/common/install_log.h"

namespace qv {

std::wstring SetupMutexName(const std::string& appName) {
    // The name holds the application's name in hex: a backslash in it
    // would name a namespace, and other characters may not pass.
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring name = L"QVSetup-";
    for (unsigned char c : appName) name += digits[c >> 4], name += digits[c & 15];
    return name;
}

bool ClaimTheOnlySetupOf(const std::string& appName) {
    // A mark this process holds already is its own (a start-up run again).
    static std::set<std::string> claimed;
    if (claimed.count(appName)) return true;
    // Never closed: the mark lasts as long as this process, and Windows
    // removes it when the process ends, however it ends.
    HANDLE mark = CreateMutexW(nullptr, FALSE, SetupMutexName(appName).c_str());
    if (mark && GetLastError() != ERROR_ALREADY_EXISTS) {
        claimed.insert(appName);
        return true;
    }
    LogLine("Another setup of " + appName + " is running: exit code 1618");
    AppMsgBoxFmt("“%s”的另一个设置程序正在运行。\r\n\r\n请等它结束后再运行设置程序。", {appName}, "", mbtError, MB_OK);
    return false;
}

}  // namespace qv
