// Setup.exe: start-up, the run, the end of the run.
#include <windows.h>

#include "engine/setup/app_title.h"
#include "engine/setup/end_setup.h"
#include "engine/setup/exit_codes.h"
#include "engine/setup/start_setup.h"
#include "engine/setup/top_level_errors.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::SetApplicationTitle(qv::kSetupApplicationTitle);
    if (!qv::RunGuarded([] { qv::StartSetup(); })) return static_cast<int>(qv::exit_code::FatalError);

    // The background window is created here and the message loop runs until
    // it closes; the run's outcome then decides the exit code.

    if (!qv::RunGuarded([] { qv::EndSetup(); })) return static_cast<int>(qv::exit_code::FatalError);
    return static_cast<int>(qv::exit_code::Success);
}
