// The application's message box, through which the whole engine asks its
// questions and reports errors. While it is shown every other form of the
// application is disabled, and top-most forms step out of the top-most band
// so that they cannot hide it.
#pragma once

#include <initializer_list>
#include <string>

#include "engine/common/format_text.h"
#include "engine/common/message_box.h"

namespace qv {

// Shows `text` with `flags` (MB_ buttons, default button, ...) and the icon
// of `kind`; an empty caption takes the kind's default ("Information",
// "Confirm", "Error"). Returns the button (IDOK, IDYES, ...).
int AppMsgBox(const std::string& text, const std::string& caption, TMsgBoxKind kind, UINT flags);

// AppMsgBox of FormatText(format, args).
int AppMsgBoxFmt(const std::string& format, std::initializer_list<FormatArg> args, const std::string& caption,
                 TMsgBoxKind kind, UINT flags);

// The icon flag and the default caption of a kind.
UINT MsgBoxKindIcon(TMsgBoxKind kind);
std::string MsgBoxKindCaption(TMsgBoxKind kind);

}  // namespace qv
