// Setup.exe: start-up, the run, the end of the run.
#include <windows.h>

#include "engine/common/system_library.h"
#include "engine/instfunc/library_registration.h"
#include "engine/setup/run_setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::RestrictLibrarySearch();  // before anything can load a library
    // Started again by itself to register a library: that, and nothing else.
    if (const auto code = qv::ServeLibraryRegistrationIfAsked()) return static_cast<int>(*code);
    return static_cast<int>(qv::RunSetup(qv::DefaultSetupStages()));
}
