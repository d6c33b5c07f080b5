#include "engine/common/message_box.h"

#include "engine/common/win_text.h"

namespace qv {

namespace {
MsgBoxAnswerer& Answerer() {
    static MsgBoxAnswerer answerer;
    return answerer;
}
}  // namespace

void SetMsgBoxAnswerer(MsgBoxAnswerer answerer) { Answerer() = std::move(answerer); }

int ShowMessageBox(HWND owner, const MsgBoxQuestion& question) {
    if (Answerer()) return Answerer()(question);
    const std::wstring text = Widen(question.Text);
    const std::wstring caption = Widen(question.Caption);
    return MessageBoxW(owner, text.c_str(), question.Caption.empty() ? nullptr : caption.c_str(), question.Flags);
}

}  // namespace qv
