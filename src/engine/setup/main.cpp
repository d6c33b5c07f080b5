// Setup.exe: start-up, the run, the end of the run.
#include <windows.h>

#include "engine/setup/app_title.h"
#include "engine/setup/end_setup.h"
#include "engine/setup/exit_codes.h"
#include "engine/setup/main_form.h"
#include "engine/setup/start_setup.h"
#include "engine/setup/top_level_errors.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::SetApplicationTitle(qv::kSetupApplicationTitle);
    if (!qv::RunGuarded([] { qv::StartSetup(); })) return static_cast<int>(qv::exit_code::FatalError);

    // The background window drives the run until it closes.
    bool userLeft = false;
    const bool ran = qv::RunGuarded([&userLeft] { userLeft = qv::RunMainWindow(); });

    if (!qv::RunGuarded([] { qv::EndSetup(); }) || !ran) return static_cast<int>(qv::exit_code::FatalError);
    return static_cast<int>(userLeft ? qv::exit_code::UserCancelled : qv::exit_code::Success);
}
