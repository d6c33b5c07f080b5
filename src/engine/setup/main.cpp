// Setup.exe: start-up, the run, the end of the run.
#include <windows.h>

#include "engine/common/system_library.h"
#include "engine/setup/run_setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::RestrictLibrarySearch();  // before anything can load a library
    return static_cast<int>(qv::RunSetup(qv::DefaultSetupStages()));
}
