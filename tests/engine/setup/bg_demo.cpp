// Shows the background window for the screenshots of scripts/screenshots.sh:
// bg_demo gradient | plain [seconds]. It closes by itself.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "engine/controls/message_loop.h"
#include "engine/setup/main_form.h"
#include "engine/setup/setup_state.h"

namespace {
void CALLBACK QuitTimer(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }
}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "gradient";
    const UINT seconds = argc > 2 ? static_cast<UINT>(std::atoi(argv[2])) : 8;
    qv::SetupState.SetupInfo.AppName = "QV 示例程序 1.0";
    qv::SetupState.SetupInfo.AppFooterText = "QV Setup 示例";
    if (mode == "plain") {
        qv::SetupState.SetupInfo.Options = qv::optPlainBackground;
        qv::SetupState.SetupInfo.BackgroundColor = 0x00808000;  // teal
    } else {
        qv::SetupState.SetupInfo.BackgroundColor = 0x00FF0000;  // pure blue
    }
    SetTimer(nullptr, 0, seconds * 1000, QuitTimer);
    qv::TMainForm form;
    form.Show();
    qv::RunMessageLoop();
    return 0;
}
