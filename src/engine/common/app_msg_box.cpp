#include "engine/common/app_msg_box.h"

#include <vector>

#include "engine/common/app_forms.h"

namespace qv {

UINT MsgBoxKindIcon(TMsgBoxKind kind) {
    switch (kind) {
    case mbtInformation: return MB_ICONINFORMATION;
    case mbtConfirmation: return MB_ICONQUESTION;
    case mbtError: return MB_ICONEXCLAMATION;
    case mbtCriticalError: return MB_ICONSTOP;
    }
    return 0;
}

std::string MsgBoxKindCaption(TMsgBoxKind kind) {
    switch (kind) {
    case mbtInformation: return "Information";
    case mbtConfirmation: return "Confirm";
    case mbtError:
    case mbtCriticalError: return "Error";
    }
    return {};
}

namespace {

constexpr UINT kKeepPlace = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

// Disables the application's forms and lowers its top-most ones for the
// lifetime of the box; puts everything back on every path out.
class FormsAsideForBox {
public:
    FormsAsideForBox() : focus_(GetFocus()) {
        for (const AppForm& form : AppForms()) {
            if (IsWindowEnabled(form.Window)) {
                EnableWindow(form.Window, FALSE);
                disabled_.push_back(form.Window);
            }
            if (IsWindowVisible(form.Window) && form.StayOnTop) {
                SetWindowPos(form.Window, HWND_NOTOPMOST, 0, 0, 0, 0, kKeepPlace);
                SetWindowPos(form.Window, HWND_TOP, 0, 0, 0, 0, kKeepPlace);
                lowered_.push_back(form.Window);
            }
        }
    }
    ~FormsAsideForBox() {
        // The box's modal loop may have destroyed a form meanwhile.
        for (HWND window : lowered_)
            if (IsWindow(window)) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kKeepPlace);
        for (HWND window : disabled_)
            if (IsWindow(window)) EnableWindow(window, TRUE);
        if (focus_ && IsWindow(focus_)) SetFocus(focus_);
    }
    FormsAsideForBox(const FormsAsideForBox&) = delete;
    FormsAsideForBox& operator=(const FormsAsideForBox&) = delete;

private:
    HWND focus_;
    std::vector<HWND> disabled_;
    std::vector<HWND> lowered_;
};

// The box belongs to the application's active form, else to its main window.
HWND BoxOwner() {
    const HWND active = GetActiveWindow();
    for (const AppForm& form : AppForms())
        if (form.Window == active) return active;
    return AppMainWindow();
}

}  // namespace

int AppMsgBox(const std::string& text, const std::string& caption, TMsgBoxKind kind, UINT flags) {
    const HWND owner = BoxOwner();
    const FormsAsideForBox aside;
    MsgBoxQuestion question;
    question.Text = text;
    question.Caption = caption.empty() ? MsgBoxKindCaption(kind) : caption;
    question.Kind = kind;
    question.Flags = MsgBoxKindIcon(kind) | flags;
    return ShowMessageBox(owner, question);
}

int AppMsgBoxFmt(const std::string& format, std::initializer_list<FormatArg> args, const std::string& caption,
                 TMsgBoxKind kind, UINT flags) {
    return AppMsgBox(FormatText(format, args), caption, kind, flags);
}

}  // namespace qv
