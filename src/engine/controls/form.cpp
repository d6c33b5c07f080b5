#include "engine/controls/form.h"

#include <vector>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "engine/common/app_forms.h"
#include "engine/controls/message_loop.h"

namespace qv {

namespace {
const wchar_t kFormClass[] = L"QvForm";

BOOL CALLBACK TellSysColorChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

// Disables the thread's other visible, enabled top-level windows while a
// modal form runs, and enables them again.
class DisabledWindows {
public:
    explicit DisabledWindows(HWND except) : except_(except) {
        EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(this));
    }
    ~DisabledWindows() {
        for (HWND w : disabled_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    static BOOL CALLBACK DisableOne(HWND w, LPARAM lp) {
        auto* self = reinterpret_cast<DisabledWindows*>(lp);
        if (w != self->except_ && IsWindowVisible(w) && IsWindowEnabled(w)) {
            EnableWindow(w, FALSE);
            self->disabled_.push_back(w);
        }
        return TRUE;
    }

    HWND except_;
    std::vector<HWND> disabled_;
};
}  // namespace

void TForm::AppFormEntry::Close(HWND window) noexcept { UnregisterAppForm(window); }

void TForm::CreateForm(const TFormParams& p) {
    RegisterOwnClass(kFormClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                     LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
    font_ = CreateUiFont(p.FontSpec);
    DWORD style = p.Style ? p.Style : (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN);
    DWORD exStyle = p.Style ? p.ExStyle : (p.ExStyle | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
    style &= ~WS_VISIBLE;
    RECT rc{0, 0, p.ClientWidth, p.ClientHeight};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    TRect r{p.Left, p.Top, rc.right - rc.left, rc.bottom - rc.top};
    if (p.CenterOnScreen) {
        r.Left = (GetSystemMetrics(SM_CXSCREEN) - r.Width) / 2;
        r.Top = (GetSystemMetrics(SM_CYSCREEN) - r.Height) / 2;
        if (r.Left < 0) r.Left = 0;
        if (r.Top < 0) r.Top = 0;
    }
    CreateOwn(kFormClass, exStyle, style, p.Caption, r, OwnerWindow(p), 0);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    RegisterAppForm(Handle());
    appFormEntry_.reset(Handle());
}

void TForm::HandleDestroyed() { appFormEntry_.reset(); }

void TForm::NoteShowing() {
    if (shown_) return;
    shown_ = true;
    FirstShow();
}

void TForm::Show() {
    if (!Handle()) return;
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

void TForm::Hide() {
    if (Handle()) ShowWindow(Handle(), SW_HIDE);
}

int TForm::ShowModal() {
    if (!Handle()) throw Exception("form has no window");
    if (modal_ || Visible()) throw Exception("Cannot make a visible window modal");
    HWND previousActive = GetActiveWindow();
    if (HWND cap = GetCapture()) SendMessageW(cap, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    const ScopeExit endModal([&] {
        modal_ = false;
        if (Handle()) ShowWindow(Handle(), SW_HIDE);
        if (previousActive && IsWindow(previousActive)) SetActiveWindow(previousActive);
    });
    // Declared after endModal, so the other windows are enabled again before
    // the form hides: the activation must have somewhere to go.
    const DisabledWindows disabled(Handle());
    modal_ = true;
    modalResult_ = mrNone;
    Show();
    MSG msg;
    for (;;) {
        if (modalResult_ != mrNone) {
            // The close check runs for every attempt to end the modal loop.
            if (CloseQuery()) break;
            modalResult_ = mrNone;
        }
        if (!Handle()) break;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            if (modalResult_ == mrNone) modalResult_ = mrCancel;
            break;
        }
        DispatchAppMessage(msg);
    }
    return modalResult_;
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (CloseQuery()) DoClose();
}

void TForm::SetDefaultButton(TWindow* button) { defaultButton_ = button; }

void TForm::SetActiveControl(TWindow* control) {
    activeControl_ = control ? control->Handle() : nullptr;
    if (activeControl_ && GetActiveWindow() == Handle()) ::SetFocus(activeControl_);
}
void TForm::SetCancelButton(TWindow* button) { cancelButton_ = button; }

void ClickButton(TWindow* button) {
    if (!button || !button->Handle() || !button->Visible() || !button->Enabled()) return;
    HWND parent = GetParent(button->Handle());
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(button->Id(), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button->Handle()));
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            // The close box, Alt+F4 and the system menu's Close.
            Close();
            return 0;
        case WM_SHOWWINDOW:
            if (wParam) NoteShowing();
            break;
        case WM_WINDOWPOSCHANGING:
            // Showing a window maximised or minimised sends no WM_SHOWWINDOW.
            if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) NoteShowing();
            break;
        case WM_ACTIVATE: {
            if (LOWORD(wParam) == WA_INACTIVE) {
                // Keep where the focus was, to give it back on the next activation.
                HWND focus = GetFocus();
                if (focus && IsChild(Handle(), focus)) activeControl_ = focus;
            }
            // The default activation gives the focus to the form itself.
            const LRESULT result = TWindow::WndProc(msg, wParam, lParam);
            if (LOWORD(wParam) != WA_INACTIVE) {
                if (activeControl_ && IsChild(Handle(), activeControl_) && IsWindowVisible(activeControl_) &&
                    IsWindowEnabled(activeControl_))
                    ::SetFocus(activeControl_);
                FormActivate();
            }
            return result;
        }
        case WM_SYSCOLORCHANGE:
            // Only top-level windows hear of it; the controls rebuild their pictures.
            EnumChildWindows(Handle(), TellSysColorChange, 0);
            break;
        case DM_GETDEFID:
            if (defaultButton_ && defaultButton_->Handle() && defaultButton_->Visible() && defaultButton_->Enabled())
                return MAKELRESULT(defaultButton_->Id(), DC_HASDEFID);
            return 0;
        case WM_COMMAND:
            // Esc from IsDialogMessage arrives as IDCANCEL without a control.
            if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {
                ClickButton(cancelButton_);
                return 0;
            }
            if (lParam == 0 && LOWORD(wParam) == IDOK) {
                ClickButton(defaultButton_);
                return 0;
            }
            break;
        default:
            break;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}

}  // namespace qv
