// One setup of an application at a time: a second Setup.exe for the same
// application while one runs would install over a half-made installation.
#pragma once

#include <string>

namespace qv {

// Claims the application for this process until it ends. False when
// another setup of it runs: that has been said (unless messages are
// suppressed) and the run ends with 1618.
bool ClaimTheOnlySetupOf(const std::string& appName);

// The name of the system-wide object that marks a running setup.
std::wstring SetupMutexName(const std::string& appName);

}  // namespace qv
