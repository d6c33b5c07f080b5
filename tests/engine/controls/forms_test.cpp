// The form layer: dispatch, exceptions, dialog keys, modal loops, pages.
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/errors.h"
#include "engine/common/app_forms.h"
#include "engine/common/app_title.h"
#include "engine/common/message_box.h"
#include "engine/controls/app_errors.h"
#include "engine/controls/child_form.h"
#include "engine/controls/panels.h"
#include "engine/controls/std_controls.h"
#include "ui_test_support.h"

namespace qv {
namespace {

// Records the error boxes instead of showing them; they carry the
// application's title.
struct ErrorRecorder {
    ErrorRecorder() {
        SetApplicationTitle("试验程序");
        SetMsgBoxAnswerer([this](const MsgBoxQuestion& q) {
            shown.push_back(q.Text);
            EXPECT_EQ(q.Caption, "试验程序");
            EXPECT_EQ(q.Flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
            return IDOK;
        });
    }
    ~ErrorRecorder() { SetMsgBoxAnswerer({}); }
    std::vector<std::string> shown;
};

TEST(FormLayer, HandlersThrowingNeverUnwindThroughTheWindowProcedure) {
    ErrorRecorder errors;
    test::THostForm form;
    TButton button;
    button.Create(form, {8, 8, 75, 23}, "go");
    button.OnClick = [] { throw Exception("设置程序不能创建文件夹"); };
    SendMessageW(button.Handle(), BM_CLICK, 0, 0);
    button.OnClick = [] { throw EAbort(); };
    SendMessageW(button.Handle(), BM_CLICK, 0, 0);
    button.OnClick = [] { throw std::runtime_error("Disk full."); };
    SendMessageW(button.Handle(), BM_CLICK, 0, 0);
    // The silent abort is not shown; a full stop is added after a Chinese text only.
    ASSERT_EQ(errors.shown.size(), 2u);
    EXPECT_EQ(errors.shown[0], "设置程序不能创建文件夹.");
    EXPECT_EQ(errors.shown[1], "Disk full.");
    EXPECT_EQ(ErrorBoxText(""), "");
    EXPECT_EQ(ErrorBoxText("a!"), "a!");
}

TEST(FormLayer, ObjectsAreFoundFromTheirHandlesUntilDestroyed) {
    test::THostForm form;
    HWND formHandle = form.Handle();
    EXPECT_EQ(TWindow::FromHandle(formHandle), &form);
    auto edit = std::make_unique<TEdit>();
    edit->Create(form, {8, 8, 100, 20}, "abc", 5);
    HWND editHandle = edit->Handle();
    EXPECT_EQ(TWindow::FromHandle(editHandle), edit.get());
    int changes = 0;
    edit->OnChange = [&] { ++changes; };
    SetWindowTextW(editHandle, L"hello world");
    EXPECT_EQ(edit->Text(), "hello world");  // the limit binds typing only
    EXPECT_EQ(changes, 1);
    // The controls take the form's font.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(editHandle, WM_GETFONT, 0, 0)), form.ChildFont());
    edit.reset();
    EXPECT_FALSE(IsWindow(editHandle));
    // A form's window destroyed from outside: the object forgets it.
    EXPECT_TRUE(std::any_of(AppForms().begin(), AppForms().end(), [&](const AppForm& f) { return f.Window == formHandle; }));
    DestroyWindow(formHandle);
    EXPECT_EQ(form.Handle(), nullptr);
    EXPECT_EQ(TWindow::FromHandle(formHandle), nullptr);
    EXPECT_FALSE(std::any_of(AppForms().begin(), AppForms().end(), [&](const AppForm& f) { return f.Window == formHandle; }));
}

class TDialog : public TForm {
public:
    TDialog() {
        TFormParams p;
        p.Caption = "dialog";
        p.ClientWidth = 200;
        p.ClientHeight = 100;
        p.CenterOnScreen = true;
        CreateForm(p);
        Edit.Create(*this, {8, 8, 180, 20});
        OK.Create(*this, {40, 60, 73, 23}, "OK", true);
        OK.ModalResult = mrOk;
        Cancel.Create(*this, {120, 60, 73, 23}, "Cancel");
        Cancel.ModalResult = mrCancel;
        SetDefaultButton(&OK);
        SetCancelButton(&Cancel);
    }
    ~TDialog() override { DestroyHandle(); }
    bool CloseQuery() override {
        ++queries;
        return allowClose;
    }
    TEdit Edit;
    TButton OK, Cancel;
    int queries = 0;
    bool allowClose = true;
};

// Types a key into the focused control as the keyboard would.
void PressKey(WPARAM key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 0);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000000);
}

TEST(FormLayer, ModalLoopEndsWithEnterEscAndButtonsAndDisablesOtherWindows) {
    test::THostForm other;
    other.Show();
    TDialog dialog;

    bool otherWasDisabled = false;
    {
        test::TimerAction enter([&] {
            otherWasDisabled = !IsWindowEnabled(other.Handle());
            dialog.Edit.SetFocus();
            PressKey(VK_RETURN);
        });
        EXPECT_EQ(dialog.ShowModal(), mrOk);
    }
    EXPECT_TRUE(otherWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(other.Handle()));
    EXPECT_FALSE(dialog.Visible());
    {
        test::TimerAction esc([&] {
            dialog.Edit.SetFocus();
            PressKey(VK_ESCAPE);
        });
        EXPECT_EQ(dialog.ShowModal(), mrCancel);
    }
    // The close box asks CloseQuery; a refusal keeps the dialog open.
    dialog.allowClose = false;
    dialog.queries = 0;
    {
        test::TimerAction close([&] { SendMessageW(dialog.Handle(), WM_CLOSE, 0, 0); }, 50);
        test::TimerAction ok(
            [&] {
                EXPECT_TRUE(dialog.Visible());
                dialog.allowClose = true;
                SendMessageW(dialog.OK.Handle(), BM_CLICK, 0, 0);
            },
            400);
        EXPECT_EQ(dialog.ShowModal(), mrOk);
    }
    EXPECT_EQ(dialog.queries, 2);
}

TEST(FormLayer, NotebookShowsOnePageAtATime) {
    test::THostForm form;
    TNotebook book;
    book.Create(form, {0, 0, 300, 200}, 3);
    TButton onSecond;
    onSecond.Create(book.Page(1), {8, 8, 75, 23}, "x");
    int clicks = 0;
    onSecond.OnClick = [&] { ++clicks; };
    EXPECT_TRUE(book.Page(0).Visible());
    EXPECT_FALSE(book.Page(1).Visible());
    book.SetPageIndex(1);
    EXPECT_EQ(book.PageIndex(), 1);
    EXPECT_FALSE(book.Page(0).Visible());
    EXPECT_TRUE(book.Page(1).Visible());
    // Notifications of a control on a page reach its object.
    SendMessageW(onSecond.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(onSecond.Handle(), WM_GETFONT, 0, 0)), form.ChildFont());
}

class TChild : public TSetupChildForm {
public:
    TChild() {
        TFormParams p;
        p.Caption = "child";
        p.ClientWidth = 100;
        p.ClientHeight = 50;
        CreateForm(p);
    }
    ~TChild() override { DestroyHandle(); }
};

TEST(FormLayer, ChildFormsAreOwnedByTheBackgroundWindow) {
    test::THostForm background;
    SetAppMainWindow(background.Handle());
    TChild child;
    SetAppMainWindow(nullptr);
    EXPECT_EQ(GetWindow(child.Handle(), GW_OWNER), background.Handle());
    EXPECT_EQ(TSetupChildForm::FromWindow(child.Handle()), &child);
    EXPECT_EQ(TSetupChildForm::FromWindow(background.Handle()), nullptr);
    EXPECT_FALSE(child.StayHidden);
}

}  // namespace
}  // namespace qv
