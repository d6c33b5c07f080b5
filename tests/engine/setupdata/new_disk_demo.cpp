// Shows the next-disk dialog for disk 2, offering the folder given as the
// first argument (else C:\), so that it can be looked at. With a second
// argument, the dialog closes by itself after that many milliseconds.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "core/scope_exit.h"
#include "engine/common/win_text.h"
#include "engine/setupdata/new_disk_form.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const qv::ScopeExit freeArguments([argv] { LocalFree(argv); });
    std::string path = argc > 1 ? qv::Narrow(argv[1]) : "C:\\";
    if (argc > 2) {
        // A thread timer: the dialog's modal loop runs it; closing asks the
        // exit question below, which answers Yes.
        SetTimer(nullptr, 0, static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)),
                 [](HWND, UINT, UINT_PTR id, DWORD) {
                     KillTimer(nullptr, id);
                     PostMessageW(GetActiveWindow(), WM_CLOSE, 0, 0);
                 });
    }
    const bool chosen = qv::AskForDisk(2, "SETUP.2", path, [] { return true; });
    return chosen ? 0 : 1;
}
