// The wizard of a Setup.exe in another process, driven as a user would:
// its controls found where the user sees them (by their place in the
// client area), read by their window texts, pressed with ordinary button
// messages. Posted, never sent, where a click may open a message box, so
// that the test stays free to answer it.
#pragma once

#include <windows.h>

#include <string>

#include "engine/common/win_text.h"

namespace qv::test {

struct WindowOf {
    DWORD pid;  // 0: any process
    std::wstring caption;
    HWND found;
};

inline BOOL CALLBACK MatchProcessWindow(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<WindowOf*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    if ((s->pid == 0 || pid == s->pid) && IsWindowVisible(w) && s->caption == text) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of process `pid` (0: of any process) with
// this caption, waited for up to `timeoutMs`.
inline HWND WaitForWindow(DWORD pid, const std::string& caption, DWORD timeoutMs) {
    const DWORD end = GetTickCount() + timeoutMs;
    do {
        WindowOf s{pid, Widen(caption), nullptr};
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(50);
    } while (static_cast<int>(end - GetTickCount()) > 0);
    return nullptr;
}

// The visible control deepest under a point of the wizard's client area.
inline HWND ControlAt(HWND wizard, int x, int y) {
    HWND at = wizard;
    POINT p{x, y};
    for (;;) {
        HWND child = ChildWindowFromPointEx(at, p, CWP_SKIPINVISIBLE);
        if (!child || child == at) return at;
        MapWindowPoints(at, child, &p, 1);
        at = child;
    }
}

// The text as the window itself answers it: GetWindowText does not ask a
// control of another process, and an edit box keeps its text itself.
inline std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return "<no answer>";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &got);
    text.resize(static_cast<std::size_t>(got));
    return Narrow(text);
}

// Returns once the window's thread has finished what it was doing and
// waits for messages again (a sent message is answered only then).
inline void WaitUntilIdle(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

inline bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// A click that returns at once; what it opens is waited for separately.
inline void PostClick(HWND button) {
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// Types a whole text into an edit box, as a paste does.
inline void TypeText(HWND edit, const std::string& text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

// The places of the wizard's controls in its client area (409 x 289).
struct WizardPlaces {
    static constexpr POINT Back{166 + 37, 257 + 11};
    static constexpr POINT Next{241 + 37, 257 + 11};
    static constexpr POINT Cancel{326 + 37, 257 + 11};
    static constexpr POINT ClickHint{136 + 4, 228 + 6};
    static constexpr POINT Welcome{128 + 8 + 100, 8 + 100};
    static constexpr POINT DirEdit{128 + 16 + 100, 40 + 10};
    static constexpr POINT DiskSpace{128 + 8 + 4, 206 + 6};
    static constexpr POINT GroupEdit{128 + 16 + 100, 55 + 10};
    static constexpr POINT GroupList{128 + 16 + 100, 80 + 50};
    static constexpr POINT NoIcons{128 + 8 + 5, 200 + 8};
    static constexpr POINT Ready{128 + 8 + 4, 8 + 4};
    static constexpr POINT Finished{128 + 8 + 4, 8 + 4};
    static constexpr POINT ShowReadme{128 + 8 + 5, 75 + 8};
    static constexpr POINT YesRadio{128 + 8 + 5, 76 + 8};
    static constexpr POINT NoRadio{128 + 8 + 5, 100 + 8};
    static constexpr POINT Memo{8 + 100, 48 + 50};
};

class WizardDriver {
public:
    explicit WizardDriver(HWND wizard) : wizard_(wizard) {}
    HWND Window() const { return wizard_; }
    std::string Caption() const { return TextOf(wizard_); }
    HWND At(POINT p) const { return ControlAt(wizard_, p.x, p.y); }
    std::string TextAt(POINT p) const { return TextOf(At(p)); }
    // A button where it stands, or null when it is hidden there.
    HWND Button(POINT p) const {
        HWND w = At(p);
        return w == wizard_ ? nullptr : w;
    }
    std::string ButtonCaption(POINT p) const {
        HWND b = Button(p);
        return b ? TextOf(b) : "<hidden>";
    }
    void Press(POINT p) const {
        if (HWND b = Button(p)) PostClick(b);
    }
    // Waits until the caption changes to `caption` (the page has been shown).
    bool WaitForCaption(const std::string& caption, DWORD timeoutMs = 10000) const {
        const DWORD end = GetTickCount() + timeoutMs;
        do {
            WaitUntilIdle(wizard_);
            if (IsWindowVisible(wizard_) && Caption() == caption) return true;
            Sleep(30);
        } while (static_cast<int>(end - GetTickCount()) > 0);
        return false;
    }

private:
    HWND wizard_;
};

}  // namespace qv::test
