// Finding, reading and answering real message boxes from outside, as a
// user would: by their windows. Used on this process's own boxes (from a
// second thread) and on those of a child process.
#pragma once

#include <windows.h>

#include <string>

namespace qv::test {

struct SeenBox {
    std::string Caption;
    std::string Text;
    HICON Icon = nullptr;  // the icon the box shows
};

// A visible dialog window (class #32770) of process `processId`, or null.
HWND FindMessageBox(DWORD processId);
// Waits up to `timeoutMs` for FindMessageBox to find one.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);
SeenBox ReadMessageBox(HWND box);
// Presses a button of the box (IDOK, IDYES, ...).
void PressButton(HWND box, int button);

}  // namespace qv::test
