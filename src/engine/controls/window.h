// The base of every window of the engine: it owns one HWND, finds its C++
// object again from the handle and dispatches messages to member handlers.
//
// Windows of the engine's own classes store `this` at WM_NCCREATE; windows
// of the standard control classes (BUTTON, EDIT, LISTBOX, ...) are
// subclassed right after creation. Both forget the object at WM_NCDESTROY.
// Notifications that a standard control sends to its parent (WM_COMMAND,
// WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*) are handed back to the
// control's object, so that each control handles its own events. No
// exception leaves a window procedure: they go to HandleCurrentException.
//
// Destruction. A window's handlers (WndProc, HandleDestroyed, a form's
// events) may use everything of the object, so the window must be destroyed
// while the whole object still exists. A base class cannot arrange that by
// itself: the most-derived part of an object and its members are destroyed
// before any base destructor runs. So the object that is destroyed first,
// the one not held by another window object, is made an Owned<T> (or by
// MakeOwned<T>): Owned<T> is the most-derived class, and its destructor
// destroys the window before anything else goes, so every handler of every
// level runs for the destruction, and the windows of child controls held as
// members go with it while those members are whole. No class derived from
// TWindow destroys its window itself.
//
// A window object destroyed without Owned<T> (a control that is removed
// from a form, a member of a form that is itself destroyed that way) goes
// before its window. Then nothing of the half-destroyed objects may run:
// ~TWindow first cuts the object off its window and then destroys the
// window quietly, and until that is done every window object of the thread
// sees its messages only through its default procedure (the objects that
// the dying one is a member of may be half gone too). The windows destroyed
// with it, whose objects are whole, still forget them with HandleDestroyed.
// So such an object loses its destruction handlers, never its memory safety.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

namespace qv {

class TForm;

struct TRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;
    virtual ~TWindow();

    HWND Handle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != nullptr; }
    // The object of a window created by this layer, or null.
    static TWindow* FromHandle(HWND window);
    // This window as a form, or null: the programs carry no run-time type
    // information for a dynamic_cast.
    virtual TForm* AsForm() { return nullptr; }

    // The font that this window's children take (a form's font, inherited
    // by its pages); null means the system font.
    virtual HFONT ChildFont() const;

    // Destroys the window now, with every handler of the object running;
    // for a window that ends before its object (Owned<T> does this).
    void DestroyHandle();

    // Common properties, for any window.
    void SetText(const std::string& utf8);
    std::string Text() const;
    void SetVisible(bool visible);
    bool Visible() const;
    void SetEnabled(bool enabled);
    bool Enabled() const;
    void SetBounds(const TRect& r);
    TRect Bounds() const;  // relative to the parent's client area (screen for top-level windows)
    RECT ClientRect() const;
    void SetFocus();
    void Invalidate(bool erase = false);
    void Repaint();  // invalidate and paint at once
    int Id() const;

protected:
    // A window of one of the engine's own classes (see RegisterOwnClass).
    void CreateOwn(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text, const TRect& r,
                   HWND parent, int id);
    // A window of a standard class, subclassed so that this object sees its messages.
    void CreateStandard(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text,
                        const TRect& r, HWND parent, int id);
    // Registers a class whose procedure dispatches to TWindow objects; once per name.
    static void RegisterOwnClass(const wchar_t* className, UINT classStyle, HBRUSH background,
                                 HICON icon = nullptr);

    // The message handler. Unhandled messages go to TWindow::WndProc,
    // which reflects child notifications and then calls DefaultProc.
    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // A notification of this control reflected by its parent; true when handled.
    virtual bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Called once the handle exists (after WM_CREATE).
    virtual void HandleCreated() {}
    // Called at WM_NCDESTROY, just before the object forgets the handle
    // (not when the object goes before its window, see above).
    virtual void HandleDestroyed() {}

    // The child control that a notification concerns, or null.
    static TWindow* NotifiedChild(UINT msg, WPARAM wParam, LPARAM lParam, HWND self);

private:
    static LRESULT CALLBACK OwnProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    void Attach(HWND window);
    void Detach();
    void Forget();

    HWND handle_ = nullptr;
    bool subclassed_ = false;
};

// A window object whose window is destroyed before any part of the object
// (see the comment at the top). Construct it as the T it holds:
//   Owned<TSelDirForm> form(owner);
template <class T>
class Owned final : public T {
public:
    using T::T;
    ~Owned() override { this->DestroyHandle(); }
};

// Owned<T> on the heap, deleted through T (or any polymorphic base of it).
template <class T, class... Args>
std::unique_ptr<T> MakeOwned(Args&&... args) {
    return std::unique_ptr<T>(new Owned<T>(std::forward<Args>(args)...));
}

// The next free control identifier of a parent (they start at 100, above
// IDOK and IDCANCEL, which the dialog keys use).
int NextControlId();

}  // namespace qv
