// The question an install step asks when one of its items fails: Abort,
// Retry or Ignore. Each step words its own text (naming the buttons
// <重试>, <忽略> and <取消>) and what its log says of the answer; the
// question goes through AppMsgBox, so that /SUPPRESSMSGBOXES answers it by
// its table like every other.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

enum class TRetryAnswer { Retry, Ignore, Other };

// What an answer that is none of the three buttons means. No box gives
// one, but a step may still say how it reads it.
enum class TOtherAnswer { Aborts, GoesOn };

// The log's line for each answer; an empty one is not written.
struct TRetryLogLines {
    std::string OnRetry;
    std::string OnIgnore;
};

// Asks `text` as an error, under `caption` (empty: the default caption of
// an error), with `defaultButton` (MB_DEFBUTTON1 Abort, MB_DEFBUTTON2
// Retry). Abort raises EAbort, and so does any other answer unless
// `other` is GoesOn, which returns Other for it.
TRetryAnswer AskRetryIgnoreAbort(const std::string& text, const std::string& caption, UINT defaultButton,
                                 const TRetryLogLines& log = {}, TOtherAnswer other = TOtherAnswer::Aborts);

}  // namespace qv
