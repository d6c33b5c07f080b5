// progman_stand_in <folder> <ready event>
//
// A stand-in for the Program Manager, for the tests of the DDE paths: it
// serves "PROGMAN" until its thread receives WM_QUIT. It signals the ready
// event when it serves its first session and after each kResetMessage.
#include <windows.h>

#include <cstdio>
#include <exception>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "progman/server.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: progman_stand_in <folder> <ready event>\n");
        return 2;
    }
    const qv::UniqueHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    if (!ready) {
        std::fprintf(stderr, "progman stand-in: cannot open the ready event\n");
        return 2;
    }
    // The test posts to this thread as soon as it is ready: make its queue now.
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    try {
        qv::progman::StandInServer server(qv::Narrow(argv[1]));
        server.Reset();
        SetEvent(ready.get());
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!msg.hwnd && msg.message == qv::progman::kResetMessage) {
                server.Reset();
                SetEvent(ready.get());
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "progman stand-in: %s\n", error.what());
        return 1;
    }
    return 0;
}
