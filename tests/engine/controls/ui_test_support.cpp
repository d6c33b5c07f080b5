#include "ui_test_support.h"

#include <map>
#include <vector>

namespace qv::test {

PixelCanvas::PixelCanvas(int width, int height, COLORREF fill)
    : w_(width), h_(height), dc_(nullptr), bmp_(CreateDib32(width, height, bits_)), selection_(dc_.get(), bmp_.get()) {
    const std::uint32_t v = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    for (int i = 0; i < width * height; ++i) bits_[i] = v;
}

COLORREF PixelCanvas::Pixel(int x, int y) const {
    GdiFlush();
    const std::uint32_t v = bits_[y * w_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int PixelCanvas::CountInRow(int y, COLORREF color, int x0, int x1) const {
    if (x1 < 0) x1 = w_;
    int n = 0;
    for (int x = x0; x < x1; ++x)
        if (Pixel(x, y) == color) ++n;
    return n;
}

int PixelCanvas::Count(COLORREF color) const {
    int n = 0;
    for (int y = 0; y < h_; ++y) n += CountInRow(y, color);
    return n;
}

THostForm::THostForm(int clientWidth, int clientHeight, const std::string& caption) {
    TFormParams p;
    p.Caption = caption;
    p.ClientWidth = clientWidth;
    p.ClientHeight = clientHeight;
    p.Left = 10;
    p.Top = 10;
    CreateForm(p);
}

namespace {
std::map<UINT_PTR, TimerAction*>& Timers() {
    static std::map<UINT_PTR, TimerAction*> timers;
    return timers;
}
}  // namespace

TimerAction::TimerAction(std::function<void()> action, UINT delayMs) : action_(std::move(action)) {
    id_ = SetTimer(nullptr, 0, delayMs, Tick);
    Timers()[id_] = this;
}

TimerAction::~TimerAction() {
    KillTimer(nullptr, id_);
    Timers().erase(id_);
}

void CALLBACK TimerAction::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Timers().find(id);
    if (it == Timers().end()) return;
    TimerAction* self = it->second;
    KillTimer(nullptr, id);
    if (self->ran_) return;
    self->ran_ = true;
    self->action_();
}

void Pump(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (milliseconds > 0) Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

namespace {
struct WindowSearch {
    std::wstring text;
    const wchar_t* cls;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<WindowSearch*>(lp);
    if (s->visibleOnly && !IsWindowVisible(w)) return TRUE;
    wchar_t text[256] = {}, cls[64] = {};
    GetWindowTextW(w, text, 256);
    GetClassNameW(w, cls, 64);
    if ((s->text.empty() || s->text == text) && (!s->cls || _wcsicmp(s->cls, cls) == 0)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindThreadWindow(const std::wstring& caption, const wchar_t* className) {
    WindowSearch s{caption, className, true, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindChild(HWND parent, const wchar_t* className, const std::wstring& text) {
    WindowSearch s{text, className, false, nullptr};
    EnumChildWindows(parent, MatchWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

}  // namespace qv::test
