#include "engine/common/retry_question.h"

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/install_log.h"

namespace qv {

namespace {

void LogIfAny(const std::string& line) {
    if (!line.empty()) LogLine(line);
}

}  // namespace

TRetryAnswer AskRetryIgnoreAbort(const std::string& text, const std::string& caption, UINT defaultButton,
                                 const TRetryLogLines& log, TOtherAnswer other) {
    switch (AppMsgBox(text, caption, mbtError, MB_ABORTRETRYIGNORE | defaultButton)) {
    case IDRETRY: LogIfAny(log.OnRetry); return TRetryAnswer::Retry;
    case IDIGNORE: LogIfAny(log.OnIgnore); return TRetryAnswer::Ignore;
    case IDABORT: throw EAbort();
    default:
        if (other == TOtherAnswer::Aborts) throw EAbort();
        return TRetryAnswer::Other;
    }
}

}  // namespace qv
