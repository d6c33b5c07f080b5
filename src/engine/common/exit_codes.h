// Process exit codes of Setup.exe and the uninstaller: the codes deployment
// tools already read from Windows installers, so that a script can tell the
// outcomes apart.
#pragma once

namespace qv::exit_code {

constexpr unsigned Success = 0;           // the run completed
constexpr unsigned FatalError = 1603;     // start-up failed, or the installation failed and was rolled back;
                                          // the uninstaller: something could not be removed
constexpr unsigned UserCancelled = 1602;  // the user left setup
constexpr unsigned RestartRequired = 3010;  // completed; Windows must be restarted and was not
constexpr unsigned RestartInitiated = 1641; // completed; the restart was started
constexpr unsigned AnotherSetupRunning = 1618;  // a setup of the same application runs already

}  // namespace qv::exit_code
