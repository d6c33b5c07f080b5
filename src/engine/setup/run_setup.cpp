#include "engine/setup/run_setup.h"

#include "engine/common/app_title.h"
#include "engine/instfunc/com_for_process.h"
#include "engine/setup/end_setup.h"
#include "engine/setup/main_form.h"
#include "engine/setup/run_outcome.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/start_setup.h"
#include "engine/setup/top_level_errors.h"

namespace qv {

unsigned RunSetup(TSetupStages stages) {
    SetApplicationTitle("设置");
    // COM for the whole run: the shell links and the shell's folder browser.
    ComInitialization com;
    if (!RunGuarded([&com] {
            com = InitializeComForProcess();
            StartSetup();
        }))
        return exit_code::FatalError;

    // The background window drives the run until it closes.
    TRunOutcome outcome = TRunOutcome::FailedRolledBack;
    const bool ran = RunGuarded([&] { outcome = RunMainWindow(std::move(stages)); });

    bool restartStarted = false;
    if (!RunGuarded([&restartStarted] { restartStarted = EndSetup(); }) || !ran) return exit_code::FatalError;
    return ExitCodeOf(FinalOutcome(outcome, restartStarted, SetupState.RestartNeeded));
}

}  // namespace qv
