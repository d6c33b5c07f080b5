#include "engine/controls/form.h"

#include "core/errors.h"
#include "engine/common/app_forms.h"
#include "engine/controls/message_loop.h"

namespace qv {

namespace {
const wchar_t kFormClass[] = L"QvForm";

struct DisabledWindows {
    HWND except;
    std::vector<HWND> list;
};

BOOL CALLBACK TellSysColorChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

BOOL CALLBACK DisableOne(HWND w, LPARAM lp) {
    auto* d = reinterpret_cast<DisabledWindows*>(lp);
    if (w != d->except && IsWindowVisible(w) && IsWindowEnabled(w)) {
        EnableWindow(w, FALSE);
        d->list.push_back(w);
    }
    return TRUE;
}
}  // namespace

TForm::~TForm() { DestroyHandle(); }

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
}

void TForm::HandleDestroyed() { UnregisterAppForm(Handle()); }

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
    DisabledWindows disabled{Handle(), {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
    modal_ = true;
    modalResult_ = mrNone;
    struct Restore {
        TForm* form;
        DisabledWindows* d;
        HWND previous;
        ~Restore() {
            form->modal_ = false;
            for (HWND w : d->list)
                if (IsWindow(w)) EnableWindow(w, TRUE);
            if (form->Handle()) ShowWindow(form->Handle(), SW_HIDE);
            if (previous && IsWindow(previous)) SetActiveWindow(previous);
        }
    } restore{this, &disabled, previousActive};
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
            Close();
            return 0;
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
