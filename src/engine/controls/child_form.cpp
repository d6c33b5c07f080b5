#include "engine/controls/child_form.h"

#include <algorithm>

#include "engine/common/app_forms.h"
#include "engine/controls/gdi.h"

namespace qv {

TSetupChildForm* TSetupChildForm::FromWindow(HWND window) {
    TWindow* object = TWindow::FromHandle(window);
    TForm* form = object ? object->AsForm() : nullptr;
    return form ? form->AsSetupChildForm() : nullptr;
}

void TSetupChildForm::CentreOnOwner() {
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HWND owner = GetWindow(Handle(), GW_OWNER)) GetClientRect(owner, &r);
    // The background window covers the screen from its corner, so its
    // client area stands for screen coordinates. Divisions truncate toward zero.
    const TRect outer = Bounds();
    const LONG left = (r.left + r.right) / 2 - outer.Width / 2, top = (r.top + r.bottom) / 2 - outer.Height / 2;
    SetBounds({std::max<LONG>(0, left), std::max<LONG>(0, top), outer.Width, outer.Height});
}

HWND TSetupChildForm::OwnerWindow(const TFormParams& params) const {
    if (HWND main = AppMainWindow()) return main;
    return params.Owner;
}

LRESULT TSetupChildForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_QUERYNEWPALETTE:
        case WM_PALETTECHANGED: {
            if (msg == WM_PALETTECHANGED && reinterpret_cast<HWND>(wParam) == Handle()) return 0;
            HWND owner = GetWindow(Handle(), GW_OWNER);
            auto palette = reinterpret_cast<HPALETTE>(owner ? SendMessageW(owner, QM_GETPALETTE, 0, 0) : 0);
            if (!palette) break;
            WindowDC dc(Handle());
            PaletteIn sel(dc.get(), palette);
            if (RealizePalette(dc.get()) != 0) InvalidateRect(Handle(), nullptr, TRUE);
            return TRUE;
        }
        default:
            break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace qv
