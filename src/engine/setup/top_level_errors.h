// How start-up failures reach the user: FailStart for the failures that
// start-up recognises, ShowTopLevelError for every other exception that
// ends a stage of the run.
#pragma once

#include <functional>
#include <string>

namespace qv {

// Shows `text` in the application's message box (stop icon, OK) and raises
// the silent EAbort, which ends the start.
[[noreturn]] void FailStart(const std::string& text);

// `text` with a full stop appended when its last byte is above "." (0x2E).
std::string TopLevelErrorText(const std::string& text);
// Shows TopLevelErrorText(text) in a Windows message box without owner or
// caption, with the stop icon.
void ShowTopLevelError(const std::string& text);

// Runs one stage of the program (start-up, the end of the run). An
// exception other than EAbort is shown with ShowTopLevelError. False when
// the stage ended by an exception.
bool RunGuarded(const std::function<void()>& stage);

}  // namespace qv
