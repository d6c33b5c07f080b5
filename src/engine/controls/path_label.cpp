#include "engine/controls/path_label.h"

#include "core/ui/path_shorten.h"
#include "engine/common/win_text.h"
#include "engine/controls/gdi.h"

namespace qv {

namespace {
const wchar_t kPathLabelClass[] = L"QvPathLabel";
}

void TNewPathLabel::Create(TWindow& parent, const TRect& r, const std::string& caption) {
    RegisterOwnClass(kPathLabelClass, 0, nullptr);
    CreateOwn(kPathLabelClass, 0, WS_CHILD | WS_VISIBLE, caption, r, parent.Handle(), NextControlId());
}

void TNewPathLabel::SetAlignment(TAlignment a) {
    alignment_ = a;
    Invalidate();
}
void TNewPathLabel::SetWordWrap(bool wrap) {
    wordWrap_ = wrap;
    Invalidate();
}
void TNewPathLabel::SetTransparent(bool transparent) {
    transparent_ = transparent;
    Invalidate();
}
void TNewPathLabel::SetColor(COLORREF color) {
    customColor_ = true;
    color_ = color;
    Invalidate();
}

std::string TNewPathLabel::DisplayTextOn(HDC dc) const {
    const RECT rc = ClientRect();
    auto width = [dc](const std::string& s) {
        const std::wstring w = Widen(s);
        SIZE size{};
        GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
        return static_cast<int>(size.cx);
    };
    return ShortenPathToWidth(Text(), width, rc.right - rc.left);
}

std::string TNewPathLabel::DisplayText() const {
    WindowDC dc(Handle());
    SelectIn font(dc.get(), ChildFont());
    return DisplayTextOn(dc.get());
}

void TNewPathLabel::PaintTo(HDC dc) {
    SelectIn font(dc, ChildFont());
    RECT rc = ClientRect();
    const std::wstring text = Widen(DisplayTextOn(dc));
    if (!transparent_) {
        Brush brush(CreateSolidBrush(customColor_ ? color_ : GetSysColor(COLOR_BTNFACE)));
        FillRect(dc, &rc, brush.get());
    }
    SetBkMode(dc, TRANSPARENT);
    UINT flags = DT_EXPANDTABS | DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : 0);
    flags |= alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
    if (!Enabled()) {
        RECT shifted = rc;
        OffsetRect(&shifted, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shifted, flags);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, flags);
}

LRESULT TNewPathLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDC dc(Handle());
            PaintTo(dc.get());
            return 0;
        }
        case WM_SETTEXT:
        case WM_ENABLE:
        case WM_SIZE: {
            const LRESULT r = TWindow::WndProc(msg, wParam, lParam);
            InvalidateRect(Handle(), nullptr, FALSE);
            return r;
        }
        default:
            return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace qv
