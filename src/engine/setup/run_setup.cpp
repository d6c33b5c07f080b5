#include "engine/setup/run_setup.h"

#include "engine/common/app_title.h"
#include "engine/common/install_log.h"
#include "engine/common/phase_clock.h"
#include "engine/instfunc/com_for_process.h"
#include "engine/setup/end_setup.h"
#include "engine/setup/main_form.h"
#include "engine/setup/run_outcome.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/silent_run.h"
#include "engine/setup/unattended_run.h"
#include "engine/setup/start_setup.h"
#include "engine/setup/top_level_errors.h"

namespace qv {

namespace {

unsigned Finish(unsigned exitCode) {
    LogPhaseTimes();
    LogLine("Exit code " + std::to_string(exitCode));
    CloseInstallLog();
    return exitCode;
}

}  // namespace

unsigned RunSetup(TSetupStages stages) {
    SetApplicationTitle("设置");
    // COM for the whole run: the shell links and the shell's folder browser.
    ComInitialization com;
    if (!RunGuarded([&com] {
            com = InitializeComForProcess();
            StartSetup();
        }))
        return Finish(exit_code::FatalError);
    if (SetupState.EarlyExitCode) return Finish(*SetupState.EarlyExitCode);

    // The background window drives the run until it closes; an unattended
    // run has neither it nor the wizard.
    TRunOutcome outcome = TRunOutcome::FailedRolledBack;
    const bool ran = RunGuarded([&] {
        outcome = SetupState.Silent ? RunSilently(stages) : RunMainWindow(std::move(stages));
    });

    // Restarting a machine unasked is never right: an unattended run, or
    // /NORESTART, ends with 3010 instead.
    if (SetupState.Silent || SetupState.NoRestart) SetupState.RestartChosen = false;
    bool restartStarted = false;
    if (!RunGuarded([&restartStarted] { restartStarted = EndSetup(); }) || !ran) return Finish(exit_code::FatalError);
    return Finish(ExitCodeOf(FinalOutcome(outcome, restartStarted, SetupState.RestartNeeded)));
}

}  // namespace qv
