// What happens to an exception that reaches a window procedure: it must
// never unwind through user32, so every procedure catches it and hands it
// here. The silent abort is dropped; anything else is shown in a stop box
// (through ShowMessageBox, so that tests answer it like every other box),
// captioned with the application's title.
#pragma once

#include <string>

namespace qv {

// Shows the exception currently being handled (call inside a catch block).
void HandleCurrentException() noexcept;

// The text of the error box: a full stop is appended unless the text is
// empty or its last character compares at or below "." byte-wise.
std::string ErrorBoxText(const std::string& message);

}  // namespace qv
