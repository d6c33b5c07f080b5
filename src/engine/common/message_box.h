// The Windows message box, the single place where the program shows one.
// Tests replace the box by a scripted answerer that records each question
// and returns a chosen button, so that no test ever waits for a user; the
// program itself never sets one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv {

// Picks the icon and the default caption of AppMsgBox.
enum TMsgBoxKind : std::uint8_t {
    mbtInformation = 0,
    mbtConfirmation = 1,
    mbtError = 2,
    mbtCriticalError = 3,
};

// One message box as it is shown.
struct MsgBoxQuestion {
    std::string Text;
    std::string Caption;               // empty: the system's default caption
    std::optional<TMsgBoxKind> Kind;   // set when AppMsgBox asked
    UINT Flags = 0;                    // MB_ flags, icon included
};

// Returns the button, as MessageBox does (IDOK, IDCANCEL, ...).
using MsgBoxAnswerer = std::function<int(const MsgBoxQuestion&)>;

// Tests only: answers every message box from now on; an empty function
// brings the real box back.
void SetMsgBoxAnswerer(MsgBoxAnswerer answerer);

// Shows the box (or asks the test's answerer) and returns the button.
int ShowMessageBox(HWND owner, const MsgBoxQuestion& question);

}  // namespace qv
