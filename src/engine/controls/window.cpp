#include "engine/controls/window.h"

#include <commctrl.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "engine/common/system_library.h"
#include "engine/common/win_text.h"
#include "engine/controls/app_errors.h"

namespace qv {

namespace {
const wchar_t kObjectProp[] = L"QvWindowObject";
constexpr UINT_PTR kSubclassId = 0x5156;  // "QV"

// The object whose window is being created: WM_MEASUREITEM of an owner-drawn
// control reaches its parent before CreateWindowEx returns.
thread_local TWindow* g_creating = nullptr;

// How many windows are being destroyed after their objects (see the header):
// meanwhile no object's handlers run.
thread_local int g_quietDestructions = 0;

[[noreturn]] void RaiseCreateFailure(const wchar_t* className) {
    throw Exception("CreateWindowEx failed for " + Narrow(className) + ", error " + std::to_string(GetLastError()));
}
}  // namespace

int NextControlId() {
    static int next = 100;
    if (next >= 0x7F00) next = 100;
    return next++;
}

TWindow::~TWindow() {
    if (!handle_) return;
    // The object goes before its window: only the default procedures may
    // see what the destruction sends.
    const HWND window = handle_;
    Forget();
    ++g_quietDestructions;
    const ScopeExit endQuiet([] { --g_quietDestructions; });
    DestroyWindow(window);
}

TWindow* TWindow::FromHandle(HWND window) {
    return window ? static_cast<TWindow*>(GetPropW(window, kObjectProp)) : nullptr;
}

HFONT TWindow::ChildFont() const {
    if (!handle_) return nullptr;
    HWND parent = GetParent(handle_);
    if (TWindow* p = FromHandle(parent)) return p->ChildFont();
    return nullptr;
}

void TWindow::DestroyHandle() {
    if (handle_) DestroyWindow(handle_);  // WM_NCDESTROY detaches
    handle_ = nullptr;
}

void TWindow::Attach(HWND window) {
    handle_ = window;
    SetPropW(window, kObjectProp, this);
}

void TWindow::Detach() {
    if (!handle_) return;
    HandleDestroyed();
    Forget();
}

void TWindow::Forget() {
    const HWND h = std::exchange(handle_, nullptr);
    RemovePropW(h, kObjectProp);
    if (subclassed_) system_library::RemoveWindowSubclass(h, SubclassProc, kSubclassId);
    subclassed_ = false;
}

void TWindow::RegisterOwnClass(const wchar_t* className, UINT classStyle, HBRUSH background, HICON icon) {
    WNDCLASSEXW wc{};
    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(inst, className, &wc)) return;
    wc = {};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = OwnProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) throw Exception("RegisterClassEx failed for " + Narrow(className));
}

void TWindow::CreateOwn(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text,
                        const TRect& r, HWND parent, int id) {
    if (handle_) throw Exception("window already created");
    const ScopeExit restoreCreating([previous = std::exchange(g_creating, this)] { g_creating = previous; });
    const HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)) : nullptr;
    PrepareForWindows();
    HWND h = CreateWindowExW(exStyle, className, Widen(text).c_str(), style, r.Left, r.Top, r.Width, r.Height,
                             parent, menu, GetModuleHandleW(nullptr), this);
    if (!h) RaiseCreateFailure(className);
    HandleCreated();
}

void TWindow::CreateStandard(const wchar_t* className, DWORD exStyle, DWORD style, const std::string& text,
                             const TRect& r, HWND parent, int id) {
    if (handle_) throw Exception("window already created");
    const ScopeExit restoreCreating([previous = std::exchange(g_creating, this)] { g_creating = previous; });
    PrepareForWindows();
    HWND h = CreateWindowExW(exStyle, className, Widen(text).c_str(), style, r.Left, r.Top, r.Width, r.Height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    if (!h) RaiseCreateFailure(className);
    Attach(h);
    subclassed_ =
        system_library::SetWindowSubclass(h, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    if (HFONT f = ChildFont()) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    HandleCreated();
}

LRESULT CALLBACK TWindow::OwnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWindow* self = FromHandle(hwnd);
    if (!self && msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<TWindow*>(cs->lpCreateParams);
        if (self) self->Attach(hwnd);
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Dispatch(msg, wParam, lParam);
}

LRESULT CALLBACK TWindow::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<TWindow*>(ref);
    if (!self || self->handle_ != hwnd) return system_library::DefSubclassProc(hwnd, msg, wParam, lParam);
    return self->Dispatch(msg, wParam, lParam);
}

LRESULT TWindow::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_quietDestructions > 0) {
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        // Only a window that is being destroyed hears WM_NCDESTROY, and its
        // object is whole (the one that is not has been cut off already).
        if (msg == WM_NCDESTROY) Detach();
        return result;
    }
    LRESULT result = 0;
    try {
        result = WndProc(msg, wParam, lParam);
    } catch (...) {
        HandleCurrentException();
        // A failed creation must not leave a half-made window behind.
        if (msg == WM_NCCREATE) result = FALSE;
        if (msg == WM_CREATE) result = -1;
    }
    if (msg == WM_NCDESTROY) {
        // The default procedure has run; forget the handle.
        Detach();
    }
    return result;
}

TWindow* TWindow::NotifiedChild(UINT msg, WPARAM wParam, LPARAM lParam, HWND self) {
    HWND child = nullptr;
    switch (msg) {
        case WM_COMMAND:
            child = reinterpret_cast<HWND>(lParam);
            break;
        case WM_DRAWITEM:
            child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
            break;
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            child = GetDlgItem(self, static_cast<int>(mis->CtlID));
            if (!child) return g_creating;  // sent while the control is being created
            break;
        }
        case WM_DELETEITEM:
            child = reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem;
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            child = reinterpret_cast<HWND>(lParam);
            break;
        default:
            return nullptr;
    }
    (void)wParam;
    if (!child || child == self) return nullptr;
    return FromHandle(child);
}

LRESULT TWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (TWindow* child = NotifiedChild(msg, wParam, lParam, handle_)) {
        LRESULT result = 0;
        if (child->Notify(msg, wParam, lParam, result)) return result;
    }
    return DefaultProc(msg, wParam, lParam);
}

LRESULT TWindow::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (subclassed_) return system_library::DefSubclassProc(handle_, msg, wParam, lParam);
    return DefWindowProcW(handle_, msg, wParam, lParam);
}

bool TWindow::Notify(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void TWindow::SetText(const std::string& utf8) {
    if (handle_) SetWindowTextW(handle_, Widen(utf8).c_str());
}

std::string TWindow::Text() const {
    if (!handle_) return {};
    const int n = GetWindowTextLengthW(handle_);
    std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(handle_, buf.data(), n + 1);
    buf.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Narrow(buf);
}

void TWindow::SetVisible(bool visible) {
    if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}
bool TWindow::Visible() const { return handle_ && (GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE) != 0; }
void TWindow::SetEnabled(bool enabled) {
    if (handle_) EnableWindow(handle_, enabled);
}
bool TWindow::Enabled() const { return handle_ && IsWindowEnabled(handle_); }

void TWindow::SetBounds(const TRect& r) {
    if (handle_) MoveWindow(handle_, r.Left, r.Top, r.Width, r.Height, TRUE);
}

TRect TWindow::Bounds() const {
    RECT rc{};
    if (!handle_) return {};
    GetWindowRect(handle_, &rc);
    HWND parent = (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD) ? GetParent(handle_) : nullptr;
    if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return {rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

RECT TWindow::ClientRect() const {
    RECT rc{};
    if (handle_) GetClientRect(handle_, &rc);
    return rc;
}

void TWindow::SetFocus() {
    if (handle_) ::SetFocus(handle_);
}
void TWindow::Invalidate(bool erase) {
    if (handle_) InvalidateRect(handle_, nullptr, erase);
}
void TWindow::Repaint() {
    if (!handle_) return;
    InvalidateRect(handle_, nullptr, TRUE);
    UpdateWindow(handle_);
}
int TWindow::Id() const { return handle_ ? GetDlgCtrlID(handle_) : 0; }

}  // namespace qv
