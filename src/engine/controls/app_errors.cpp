#include "engine/controls/app_errors.h"

#include <windows.h>

#include <exception>

#include "core/errors.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {
std::string& Title() {
    static std::string title = "设置";
    return title;
}
std::function<void(const std::string&)>& Display() {
    static std::function<void(const std::string&)> display;
    return display;
}
}  // namespace

void SetExceptionBoxCaption(const std::string& caption) { Title() = caption; }

std::string ErrorBoxText(const std::string& message) {
    // The last byte of a UTF-8 text ending in a Chinese character is a
    // continuation byte (above "."), just as a trail byte would be.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void SetExceptionDisplay(std::function<void(const std::string&)> display) { Display() = std::move(display); }

void HandleCurrentException() noexcept {
    try {
        std::string text;
        try {
            throw;
        } catch (const EAbort&) {
            return;
        } catch (const std::exception& e) {
            text = ErrorBoxText(e.what());
        } catch (...) {
            text = ErrorBoxText("Unknown exception");
        }
        if (Display()) {
            Display()(text);
            return;
        }
        MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(Title()).c_str(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        // Showing the error failed (out of memory): nothing more can be done here.
    }
}

}  // namespace qv
