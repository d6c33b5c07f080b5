// The form layer: dispatch, exceptions, dialog keys, modal loops, pages,
// the forms' events and the order of destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "engine/common/app_forms.h"
#include "engine/common/app_title.h"
#include "engine/common/message_box.h"
#include "engine/controls/app_errors.h"
#include "engine/controls/child_form.h"
#include "engine/controls/message_loop.h"
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


// A form that records its events. Its Cancel button closes it, as the
// wizard's does, which works the same for a modal and a modeless form.
class TEventForm : public TForm {
public:
    explicit TEventForm(const std::string& caption) {
        TFormParams p;
        p.Caption = caption;
        p.ClientWidth = 200;
        p.ClientHeight = 100;
        p.Left = 40;
        p.Top = 40;
        CreateForm(p);
        Edit.Create(*this, {8, 8, 180, 20});
        Cancel.Create(*this, {120, 60, 73, 23}, "Cancel");
        Cancel.OnClick = [this] { Close(); };
        SetCancelButton(&Cancel);
    }
    TEdit Edit;
    TButton Cancel;
    std::vector<std::string> events;
    int firstShows = 0, activations = 0, queries = 0, closes = 0;
    bool allowClose = false;
    bool visibleAtFirstShow = true;
    bool focusInsideAtActivation = false;

protected:
    void FirstShow() override {
        ++firstShows;
        visibleAtFirstShow = IsWindowVisible(Handle()) != FALSE;
        events.push_back("first show");
    }
    void FormActivate() override {
        ++activations;
        const HWND focus = GetFocus();
        focusInsideAtActivation = focus == Handle() || IsChild(Handle(), focus);
    }
    bool CloseQuery() override {
        ++queries;
        return allowClose;
    }
    void DoClose() override {
        ++closes;
        TForm::DoClose();
    }
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_PAINT) events.push_back("paint");
        return TForm::WndProc(msg, wParam, lParam);
    }
};

// Alt+F4 as the keyboard sends it to the focused control.
void PressAltF4() {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    PostMessageW(focus, WM_SYSKEYUP, VK_F4, 0xE0000001);
}

// Lets the engine's own dispatch (with the dialog keys) handle what is waiting.
void ProcessFor(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        ProcessMessages();
        Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

TEST(FormEvents, FirstShowRunsOnceBeforePaintingAndActivationAfterTheDefault) {
    Owned<TEventForm> form("events");
    EXPECT_EQ(form.firstShows, 0);  // creating is not showing
    form.Show();
    ProcessFor(100);
    EXPECT_EQ(form.firstShows, 1);
    EXPECT_FALSE(form.visibleAtFirstShow);
    ASSERT_FALSE(form.events.empty());
    EXPECT_EQ(form.events.front(), "first show");
    EXPECT_NE(std::find(form.events.begin(), form.events.end(), "paint"), form.events.end());
    form.Hide();
    form.Show();
    ProcessFor(50);
    EXPECT_EQ(form.firstShows, 1);

    // A maximised show sends no WM_SHOWWINDOW; the first show runs all the same.
    Owned<TEventForm> other("other");
    ShowWindow(other.Handle(), SW_SHOWMAXIMIZED);
    ProcessFor(50);
    EXPECT_EQ(other.firstShows, 1);
    EXPECT_FALSE(other.visibleAtFirstShow);

    SetActiveWindow(other.Handle());
    const int before = form.activations;
    const int otherBefore = other.activations;
    SetActiveWindow(form.Handle());
    EXPECT_EQ(form.activations, before + 1);
    EXPECT_TRUE(form.focusInsideAtActivation);
    EXPECT_EQ(other.activations, otherBefore);  // losing the activation is no event
    SetActiveWindow(other.Handle());
    EXPECT_EQ(other.activations, otherBefore + 1);
}

TEST(FormEvents, EveryWayOfClosingAsksCloseQueryOfAModelessForm) {
    Owned<TEventForm> form("modeless");
    form.Show();
    ProcessFor(50);
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    EXPECT_EQ(form.queries, 1);
    form.Edit.SetFocus();
    PressAltF4();
    ProcessFor(100);
    EXPECT_EQ(form.queries, 2);
    form.Edit.SetFocus();
    PressKey(VK_ESCAPE);
    ProcessFor(100);
    EXPECT_EQ(form.queries, 3);
    SendMessageW(form.Cancel.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.queries, 4);
    form.Close();
    EXPECT_EQ(form.queries, 5);
    EXPECT_EQ(form.closes, 0);
    EXPECT_TRUE(form.Visible());

    form.allowClose = true;
    form.Edit.SetFocus();
    PressAltF4();
    ProcessFor(100);
    EXPECT_EQ(form.queries, 6);
    EXPECT_EQ(form.closes, 1);
    EXPECT_FALSE(form.Visible());
}

TEST(FormEvents, EveryWayOfClosingAsksCloseQueryOfAModalForm) {
    Owned<TEventForm> form("modal");
    std::vector<int> queriesSeen;
    std::vector<bool> visibleSeen;
    auto attempt = [&](std::function<void()> close) {
        return [&, close] {
            queriesSeen.push_back(form.queries);
            visibleSeen.push_back(form.Visible());
            close();
        };
    };
    const test::TimerAction closeBox(attempt([&] { SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }), 100);
    const test::TimerAction altF4(attempt([&] {
                                      form.Edit.SetFocus();
                                      PressAltF4();
                                  }),
                                  300);
    const test::TimerAction esc(attempt([&] {
                                    form.Edit.SetFocus();
                                    PressKey(VK_ESCAPE);
                                }),
                                500);
    const test::TimerAction button(attempt([&] { SendMessageW(form.Cancel.Handle(), BM_CLICK, 0, 0); }), 700);
    const test::TimerAction close(attempt([&] { form.Close(); }), 900);
    const test::TimerAction allowed(attempt([&] {
                                        form.allowClose = true;
                                        form.Close();
                                    }),
                                    1100);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(queriesSeen, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(visibleSeen, std::vector<bool>(6, true));
    EXPECT_EQ(form.queries, 6);
    EXPECT_EQ(form.closes, 0);  // a modal form only ends its loop
    EXPECT_FALSE(form.Visible());
}

// What the destruction handlers of a form saw, and whether a handler ran
// after the form's destructor had begun.
struct DestructionLog {
    std::vector<std::string> seen;
    int handlersAfterDestructor = 0;
};

class TRecordingEdit : public TEdit {
public:
    std::function<void()> OnHandleDestroyed;

protected:
    void HandleDestroyed() override {
        if (OnHandleDestroyed) OnHandleDestroyed();
    }
};

// A form whose handlers use its members and its child's, and that does
// nothing about its window when it goes.
class TStatefulForm : public TForm {
public:
    explicit TStatefulForm(DestructionLog& log) : log_(log), name_("a form with a name too long for a short string") {
        TFormParams p;
        p.Caption = "stateful";
        p.ClientWidth = 200;
        p.ClientHeight = 60;
        CreateForm(p);
        Edit.Create(*this, {8, 8, 180, 20}, "text of the edit");
        Edit.OnHandleDestroyed = [this] { Note("edit gone from " + name_); };
        Edit.SetFocus();
    }
    ~TStatefulForm() override { destructorBegan_ = true; }
    TRecordingEdit Edit;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (destructorBegan_) ++log_.handlersAfterDestructor;
        if (msg == WM_DESTROY) log_.seen.push_back("WM_DESTROY of " + name_ + " with " + Edit.Text());
        return TForm::WndProc(msg, wParam, lParam);
    }
    void HandleDestroyed() override {
        Note("handle of " + name_ + " gone");
        TForm::HandleDestroyed();
    }

private:
    void Note(const std::string& what) {
        if (destructorBegan_) ++log_.handlersAfterDestructor;
        log_.seen.push_back(what);
    }
    DestructionLog& log_;
    std::string name_;
    bool destructorBegan_ = false;
};

bool IsAppForm(HWND window) {
    return std::any_of(AppForms().begin(), AppForms().end(), [&](const AppForm& f) { return f.Window == window; });
}

TEST(FormDestruction, AnOwnedFormRunsEveryHandlerWhileItIsWhole) {
    const std::vector<std::string> expected{
        "WM_DESTROY of a form with a name too long for a short string with text of the edit",
        "edit gone from a form with a name too long for a short string",
        "handle of a form with a name too long for a short string gone",
    };
    DestructionLog onStack;
    HWND window = nullptr;
    {
        Owned<TStatefulForm> form(onStack);
        window = form.Handle();
        EXPECT_TRUE(IsAppForm(window));
    }
    EXPECT_EQ(onStack.seen, expected);
    EXPECT_EQ(onStack.handlersAfterDestructor, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsAppForm(window));

    // On the heap, deleted through a base class.
    DestructionLog onHeap;
    std::unique_ptr<TForm> form = MakeOwned<TStatefulForm>(onHeap);
    window = form->Handle();
    form.reset();
    EXPECT_EQ(onHeap.seen, expected);
    EXPECT_EQ(onHeap.handlersAfterDestructor, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsAppForm(window));
}

TEST(FormDestruction, AFormThatGoesBeforeItsWindowRunsNoHandlerOfItsRemains) {
    DestructionLog log;
    HWND window = nullptr, edit = nullptr;
    {
        TStatefulForm form(log);
        window = form.Handle();
        edit = form.Edit.Handle();
    }
    // The edit's destruction tells its parent, whose derived part is gone by
    // then: nothing of it may run, nor anything of the form later.
    EXPECT_TRUE(log.seen.empty());
    EXPECT_EQ(log.handlersAfterDestructor, 0);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(TWindow::FromHandle(window), nullptr);
    EXPECT_FALSE(IsAppForm(window));
}

}  // namespace
}  // namespace qv
