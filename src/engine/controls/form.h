// A top-level form: a window with the forms' font, a default and a cancel
// button driven by Enter and Esc, modeless or modal showing, the close
// protocol (CloseQuery decides, DoClose acts) and the form's events, which a
// derived form overrides instead of special-casing window messages:
//   FirstShow     once, the first time the form is shown, before it is painted;
//   FormActivate  each time the form becomes the active window;
//   CloseQuery    every way of closing asks it first: the close box and
//                 Alt+F4 (both WM_CLOSE), Close(), and on a modal form any
//                 ModalResult that would end ShowModal. Esc clicks the cancel
//                 button, which closes through its ModalResult or an OnClick
//                 that calls Close (the only way on a modeless form).
// Like every window object, a form that is not a member of another window
// object is made an Owned<T> (see window.h).
#pragma once

#include <string>
#include <vector>

#include "engine/controls/fonts.h"
#include "engine/controls/gdi.h"
#include "engine/controls/window.h"

namespace qv {

class TSetupChildForm;

// The result of a modal form.
enum TModalResult : int {
    mrNone = 0,
    mrOk = IDOK,
    mrCancel = IDCANCEL,
    mrYes = IDYES,
    mrNo = IDNO,
};

struct TFormParams {
    std::string Caption;
    int ClientWidth = 0;
    int ClientHeight = 0;
    int Left = CW_USEDEFAULT;  // with Top: the window's outer position, unless centred
    int Top = CW_USEDEFAULT;
    bool CenterOnScreen = false;
    // 0: a fixed dialog frame with only a system menu. Otherwise the window
    // styles to use as they are.
    DWORD Style = 0;
    DWORD ExStyle = 0;
    HWND Owner = nullptr;
    TFontSpec FontSpec;
};

class TForm : public TWindow {
public:
    // Creates the (hidden) window. Controls are created after this.
    void CreateForm(const TFormParams& params);

    void Show();
    void Hide();
    // Shows the form modally and runs the modal loop; the result is the
    // ModalResult that ended it. Other windows of the thread are disabled meanwhile.
    int ShowModal();
    // The user's close: CloseQuery, then DoClose; on a modal form only sets mrCancel.
    void Close();

    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    bool InModalLoop() const { return modal_; }

    // Enter clicks this button, Esc clicks the cancel button.
    void SetDefaultButton(TWindow* button);
    void SetCancelButton(TWindow* button);
    TWindow* CancelButton() const { return cancelButton_; }

    // The control that has the focus whenever the form is active: given it
    // now when the form is active, and given back each time the form is
    // activated again (as a dialog keeps its focus across activations).
    void SetActiveControl(TWindow* control);

    HFONT ChildFont() const override { return font_.get(); }
    TForm* AsForm() override { return this; }
    // This form as a child form of the setup, or null.
    virtual TSetupChildForm* AsSetupChildForm() { return nullptr; }
    // Whether IsDialogMessage handles this form's keys.
    virtual bool WantsDialogKeys() const { return true; }

protected:
    // FormShow, for the first time only.
    virtual void FirstShow() {}
    // FormActivate: after the default activation (the focus is in the form).
    virtual void FormActivate() {}
    // FormCloseQuery: false keeps the form open.
    virtual bool CloseQuery() { return true; }
    // After a permitted close of a modeless form: hides it.
    virtual void DoClose() { Hide(); }
    // The owner window given to CreateWindowEx (the creation parameters).
    virtual HWND OwnerWindow(const TFormParams& params) const { return params.Owner; }

    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void HandleDestroyed() override;

private:
    struct AppFormEntry {
        using Handle = HWND;
        static Handle Empty() noexcept { return nullptr; }
        static void Close(Handle window) noexcept;
    };
    void NoteShowing();

    Font font_;
    // In the application's list of forms while the window exists.
    UniqueOwner<AppFormEntry> appFormEntry_;
    bool shown_ = false;
    TWindow* defaultButton_ = nullptr;
    HWND activeControl_ = nullptr;
    TWindow* cancelButton_ = nullptr;
    int modalResult_ = mrNone;
    bool modal_ = false;
};

// Clicks a button the way the user does (BN_CLICKED to its parent), when it
// is visible and enabled.
void ClickButton(TWindow* button);

}  // namespace qv
