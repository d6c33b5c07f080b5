#include "engine/setup/top_level_errors.h"

#include <new>

#include "core/errors.h"
#include "engine/common/app_msg_box.h"

namespace qv {

void FailStart(const std::string& text) {
    AppMsgBox(text, "", mbtCriticalError, MB_OK);
    throw EAbort();
}

std::string TopLevelErrorText(const std::string& text) {
    std::string shown = text;
    if (!shown.empty() && static_cast<unsigned char>(shown.back()) > '.') shown += '.';
    return shown;
}

void ShowTopLevelError(const std::string& text) {
    MsgBoxQuestion question;
    question.Text = TopLevelErrorText(text);
    question.Flags = MB_ICONSTOP;
    ShowMessageBox(nullptr, question);
}

bool RunGuarded(const std::function<void()>& stage) {
    try {
        stage();
        return true;
    } catch (const EAbort&) {
        // Already shown, or a confirmed cancel.
    } catch (const std::bad_alloc&) {
        ShowTopLevelError("Out of memory");
    } catch (const std::exception& e) {
        ShowTopLevelError(e.what());
    } catch (...) {
        ShowTopLevelError("Unknown error");
    }
    return false;
}

}  // namespace qv
