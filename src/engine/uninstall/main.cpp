// UNISTB32.EXE (UNISTB64.EXE for x86-64): the uninstaller that the uninstall icon and the system's
// list of programs start on an installation's uninstall log.
#include <windows.h>

#include "engine/common/process_command_line.h"
#include "engine/common/system_library.h"
#include "engine/instfunc/library_registration.h"
#include "engine/uninstall/uninstaller_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::RestrictLibrarySearch();  // before anything can load a library
    // Started again by itself to unregister a library: that, and nothing else.
    if (const auto code = qv::ServeLibraryRegistrationIfAsked()) return static_cast<int>(*code);
    std::vector<std::string> params = qv::GetParams();
    params.erase(params.begin());  // the program's own path
    return static_cast<int>(qv::RunUninstaller(params));
}
