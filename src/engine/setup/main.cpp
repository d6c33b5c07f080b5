// Setup.exe: start-up, the run, the end of the run.
#include <windows.h>

#include "engine/setup/app_title.h"
#include "engine/setup/end_setup.h"
#include "engine/setup/exit_codes.h"
#include "engine/setup/main_form.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/start_setup.h"
#include "engine/setup/top_level_errors.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::SetApplicationTitle(qv::kSetupApplicationTitle);
    if (!qv::RunGuarded([] { qv::StartSetup(); })) return static_cast<int>(qv::exit_code::FatalError);

    // The background window drives the run until it closes.
    bool userLeft = false;
    const bool ran = qv::RunGuarded([&userLeft] { userLeft = qv::RunMainWindow(); });

    bool restartStarted = false;
    if (!qv::RunGuarded([&restartStarted] { restartStarted = qv::EndSetup(); }) || !ran)
        return static_cast<int>(qv::exit_code::FatalError);
    if (userLeft) return static_cast<int>(qv::exit_code::UserCancelled);
    if (restartStarted) return static_cast<int>(qv::exit_code::RestartInitiated);
    // Files wait for the restart that the user declined (or that failed).
    if (qv::SetupState.RestartNeeded) return static_cast<int>(qv::exit_code::RestartRequired);
    return static_cast<int>(qv::exit_code::Success);
}
