// Setup.exe: start-up, the run, the end of the run.
#include <windows.h>

#include "engine/setup/run_setup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return static_cast<int>(qv::RunSetup(qv::DefaultSetupStages()));
}
