#include "engine/controls/app_errors.h"

#include <windows.h>

#include <exception>

#include "core/errors.h"
#include "engine/common/app_title.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/message_box.h"

namespace qv {

std::string ErrorBoxText(const std::string& message) {
    // The last byte of a UTF-8 text ending in a Chinese character is a
    // continuation byte (above "."), just as a trail byte would be.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void HandleCurrentException() noexcept {
    try {
        std::string text;
        try {
            throw;
        } catch (const EAbort&) {
            return;
        } catch (const std::exception& e) {
            text = ErrorBoxText(e.what());
            LogLine("error: " + Quoted(e.what()) + " (" + CurrentExceptionKindText() + ")");
        } catch (...) {
            text = ErrorBoxText("Unknown exception");
            LogLine("error: an exception that is no std::exception");
        }
        MsgBoxQuestion box;
        box.Text = text;
        box.Caption = ApplicationTitle();
        box.Flags = MB_OK | MB_ICONSTOP;
        ShowMessageBox(GetActiveWindow(), box);
    } catch (...) {
        // Showing the error failed (out of memory): nothing more can be done here.
    }
}

}  // namespace qv
