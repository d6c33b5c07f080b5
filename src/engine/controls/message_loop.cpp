#include "engine/controls/message_loop.h"

#include "engine/controls/form.h"

namespace qv {

void DispatchAppMessage(MSG& msg) {
    if (msg.hwnd) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        TWindow* object = TWindow::FromHandle(root);
        TForm* form = object ? object->AsForm() : nullptr;
        if (form && form->WantsDialogKeys() && IsDialogMessageW(root, &msg)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

bool ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        DispatchAppMessage(msg);
    }
    return true;
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchAppMessage(msg);
    return static_cast<int>(msg.wParam);
}

}  // namespace qv
