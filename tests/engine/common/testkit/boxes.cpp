#include "testkit/boxes.h"

#include "engine/common/win_text.h"

namespace qv::test {

namespace {

// The message text and the icon of a message box are static controls with
// these identifiers.
constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 0x0440;

std::string WindowText(HWND window) {
    wchar_t buffer[4096];
    const int n = GetWindowTextW(window, buffer, 4096);
    return Narrow(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
}

struct Search {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK ConsiderWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64];
    if (processId == search->ProcessId && IsWindowVisible(window) && GetClassNameW(window, className, 64) &&
        std::wstring(className) == L"#32770") {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindMessageBox(DWORD processId) {
    Search search{processId, nullptr};
    EnumWindows(ConsiderWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND box = FindMessageBox(processId)) return box;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

SeenBox ReadMessageBox(HWND box) {
    SeenBox seen;
    seen.Caption = WindowText(box);
    if (HWND text = GetDlgItem(box, kTextId)) seen.Text = WindowText(text);
    if (HWND icon = GetDlgItem(box, kIconId))
        seen.Icon = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
    return seen;
}

void PressButton(HWND box, int button) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

}  // namespace qv::test
