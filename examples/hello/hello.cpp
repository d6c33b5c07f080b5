// The example application that QV Setup installs: one greeting window.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxW(nullptr, L"你好，世界！\n\n这是 QV Setup 安装的示例程序。", L"你好", MB_OK | MB_ICONINFORMATION);
    return 0;
}
