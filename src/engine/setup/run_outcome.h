// How a run of Setup.exe ended, and the exit code that tells it to the
// program that started it (the codes deployment tools read from installers).
#pragma once

#include "engine/common/exit_codes.h"
#include "engine/install/install_result.h"

namespace qv {

enum class TRunOutcome {
    Completed,
    CompletedRestartNeeded,  // files wait for a restart that was declined or failed
    RestartStarted,
    UserCancelled,           // before or during installing; a cancelled installation is rolled back
    FailedRolledBack,
};

constexpr unsigned ExitCodeOf(TRunOutcome outcome) {
    switch (outcome) {
        case TRunOutcome::Completed: return exit_code::Success;
        case TRunOutcome::CompletedRestartNeeded: return exit_code::RestartRequired;
        case TRunOutcome::RestartStarted: return exit_code::RestartInitiated;
        case TRunOutcome::UserCancelled: return exit_code::UserCancelled;
        case TRunOutcome::FailedRolledBack: return exit_code::FatalError;
    }
    return exit_code::FatalError;
}

// How the run stands once the install sequence has ended. An abort is a
// person's cancel unless the unattended table gave it: then nobody chose to
// stop, and the run has failed.
constexpr TRunOutcome OutcomeOfInstall(const TInstallResult& result) {
    switch (result.End) {
        case TInstallResult::Completed: return TRunOutcome::Completed;
        case TInstallResult::Cancelled:
            return result.UnattendedTableAborted ? TRunOutcome::FailedRolledBack : TRunOutcome::UserCancelled;
        case TInstallResult::FailedRolledBack: return TRunOutcome::FailedRolledBack;
    }
    return TRunOutcome::FailedRolledBack;
}

// The outcome of a whole run from what the background window reported and
// what the end of the run did: only a completed installation can need or
// start a restart.
constexpr TRunOutcome FinalOutcome(TRunOutcome windowOutcome, bool restartStarted, bool restartNeeded) {
    if (windowOutcome != TRunOutcome::Completed) return windowOutcome;
    if (restartStarted) return TRunOutcome::RestartStarted;
    return restartNeeded ? TRunOutcome::CompletedRestartNeeded : TRunOutcome::Completed;
}

}  // namespace qv
