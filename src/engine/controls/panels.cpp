#include "engine/controls/panels.h"

#include "engine/controls/gdi.h"

namespace qv {

namespace {
const wchar_t kPaintBoxClass[] = L"QvPaintBox";
const wchar_t kPageClass[] = L"QvPage";
}  // namespace

void TPaintBox::Create(TWindow& parent, const TRect& r) {
    RegisterOwnClass(kPaintBoxClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateOwn(kPaintBoxClass, 0, WS_CHILD | WS_VISIBLE, {}, r, parent.Handle(), NextControlId());
}

LRESULT TPaintBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PaintDC dc(Handle());
        SelectIn font(dc.get(), ChildFont());
        if (OnPaint) OnPaint(dc.get(), ClientRect());
        return 0;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}

void TPage::Create(TWindow& parent, const TRect& r, bool visible) {
    RegisterOwnClass(kPageClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // A control parent: Tab moves into the page's controls.
    CreateOwn(kPageClass, WS_EX_CONTROLPARENT, WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0), {}, r,
              parent.Handle(), NextControlId());
}

void TNotebook::Create(TWindow& parent, const TRect& r, int pageCount) {
    RegisterOwnClass(kPageClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateOwn(kPageClass, WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, {}, r, parent.Handle(),
              NextControlId());
    pages_.clear();
    for (int i = 0; i < pageCount; ++i) {
        auto page = std::make_unique<TPage>();
        page->Create(*this, {0, 0, r.Width, r.Height}, i == 0);
        pages_.push_back(std::move(page));
    }
    active_ = 0;
}

void TNotebook::SetPageIndex(int index) {
    if (index < 0 || index >= PageCount()) return;
    // Show the new page before hiding the old one: no flash of the background.
    pages_[static_cast<std::size_t>(index)]->SetVisible(true);
    for (int i = 0; i < PageCount(); ++i)
        if (i != index) pages_[static_cast<std::size_t>(i)]->SetVisible(false);
    active_ = index;
}

}  // namespace qv
