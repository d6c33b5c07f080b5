// The engine's message loops. Keyboard navigation of the forms (Tab, Enter
// for the default button, Esc for the cancel button, accelerators of
// labels) comes from IsDialogMessage on the form that owns the message.
#pragma once

#include <windows.h>

namespace qv {

// Translates and dispatches one message, with the dialog keys of its form.
void DispatchAppMessage(MSG& msg);

// Handles every message already waiting, without blocking. False when
// WM_QUIT was seen (it is posted again for the outer loop).
bool ProcessMessages();

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace qv
