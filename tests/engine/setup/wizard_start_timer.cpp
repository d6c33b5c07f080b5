// Not a test: the start-up figure of make bench (scripts/bench-scale.sh).
// Starts Setup.exe with the given parameters, its temporary folder in
// TEMP_FOLDER, and prints the milliseconds from the start of the process to
// its wizard's welcome page, shown and idle; then ends the process, which
// has changed nothing yet.
//   wizard_start_timer.exe TEMP_FOLDER SETUP_EXE [PARAMETER...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "engine/common/win_text.h"
#include "testkit/wizard_driver.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: wizard_start_timer TEMP_FOLDER SETUP_EXE [PARAMETER...]\n", stderr);
        return 2;
    }
    SetEnvironmentVariableW(L"TMP", argv[1]);
    SetEnvironmentVariableW(L"TEMP", argv[1]);
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i) commandLine += L" \"" + std::wstring(argv[i]) + L"\"";

    LARGE_INTEGER frequency, start, shown;
    QueryPerformanceFrequency(&frequency);
    PROCESS_INFORMATION pi{};
    STARTUPINFOW si{};
    si.cb = sizeof si;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "cannot start %s\n", qv::Narrow(argv[2]).c_str());
        return 2;
    }
    CloseHandle(pi.hThread);
    HWND wizard = nullptr;
    // Polled often: the figure is meant to be read in tenths of a second.
    for (DWORD waited = 0; !wizard && waited < 600000; waited += 10) {
        qv::test::WindowOf s{pi.dwProcessId, L"欢迎", nullptr};
        EnumWindows(qv::test::MatchProcessWindow, reinterpret_cast<LPARAM>(&s));
        wizard = s.found;
        if (!wizard) {
            if (WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0) break;
        }
    }
    int status = 0;
    if (wizard) {
        qv::test::WaitUntilIdle(wizard);
        QueryPerformanceCounter(&shown);
        std::printf("%.0f\n", 1000.0 * static_cast<double>(shown.QuadPart - start.QuadPart) /
                                  static_cast<double>(frequency.QuadPart));
    } else {
        std::fputs("the welcome page did not appear\n", stderr);
        status = 1;
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    return status;
}
