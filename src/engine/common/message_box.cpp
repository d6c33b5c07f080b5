#include "engine/common/message_box.h"

#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/system_library.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {
MsgBoxAnswerer& Answerer() {
    static MsgBoxAnswerer answerer;
    return answerer;
}

// The buttons of an MB_ type, in the order the box shows them.
const char* const* ButtonNames(UINT flags) {
    static const char* const ok[] = {"OK", nullptr};
    static const char* const okCancel[] = {"OK", "Cancel", nullptr};
    static const char* const abortRetryIgnore[] = {"Abort", "Retry", "Ignore", nullptr};
    static const char* const yesNoCancel[] = {"Yes", "No", "Cancel", nullptr};
    static const char* const yesNo[] = {"Yes", "No", nullptr};
    static const char* const retryCancel[] = {"Retry", "Cancel", nullptr};
    static const char* const cancelTryContinue[] = {"Cancel", "Try Again", "Continue", nullptr};
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return okCancel;
    case MB_ABORTRETRYIGNORE: return abortRetryIgnore;
    case MB_YESNOCANCEL: return yesNoCancel;
    case MB_YESNO: return yesNo;
    case MB_RETRYCANCEL: return retryCancel;
    case MB_CANCELTRYCONTINUE: return cancelTryContinue;
    default: return ok;
    }
}

const char* IconName(UINT flags) {
    switch (flags & MB_ICONMASK) {
    case MB_ICONSTOP: return "stop icon";
    case MB_ICONQUESTION: return "question icon";
    case MB_ICONEXCLAMATION: return "warning icon";
    case MB_ICONINFORMATION: return "information icon";
    default: return "no icon";
    }
}

// "warning icon; buttons Abort, Retry, Ignore; default Retry".
std::string BoxLayoutText(UINT flags) {
    const char* const* buttons = ButtonNames(flags);
    std::string text = std::string(IconName(flags)) + "; buttons ";
    int count = 0;
    for (; buttons[count]; ++count) text += (count ? ", " : "") + std::string(buttons[count]);
    const int defaultIndex = static_cast<int>((flags & MB_DEFMASK) >> 8);
    return text + "; default " + buttons[defaultIndex < count ? defaultIndex : 0];
}

std::string AnswerName(int answer) {
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDTRYAGAIN: return "Try Again";
    case IDCONTINUE: return "Continue";
    case 0: return "no answer (the box could not be shown)";
    default: return "button " + std::to_string(answer);
    }
}

}  // namespace

void SetMsgBoxAnswerer(MsgBoxAnswerer answerer) { Answerer() = std::move(answerer); }

int ShowMessageBox(HWND owner, const MsgBoxQuestion& question) {
    // Written before the box, so that a run that waits for somebody who
    // never comes shows in its log what it waits for.
    const std::string shownCaption = question.Caption.empty() ? "with the default caption" : Quoted(question.Caption);
    LogLine("message box " + shownCaption + " (" + BoxLayoutText(question.Flags) + "):\n" + question.Text);
    if (Answerer()) {
        const int answer = Answerer()(question);
        LogLine("answer: " + AnswerName(answer) + ", answered automatically");
        return answer;
    }
    const std::wstring text = Widen(question.Text);
    const std::wstring caption = Widen(question.Caption);
    PrepareForWindows();
    const int answer =
        MessageBoxW(owner, text.c_str(), question.Caption.empty() ? nullptr : caption.c_str(), question.Flags);
    LogLine("answer: " + AnswerName(answer) + ", answered by the user");
    return answer;
}

}  // namespace qv
