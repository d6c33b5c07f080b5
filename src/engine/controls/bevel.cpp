#include "engine/controls/bevel.h"

#include "engine/controls/gdi.h"

namespace qv {

void DrawBevelEdge(HDC dc, const RECT& rect, int style) {
    static const struct {
        UINT edge;
        UINT flags;
    } kStyles[] = {
        {EDGE_RAISED, BF_RECT},           {EDGE_SUNKEN, BF_RECT},     {EDGE_RAISED, BF_RECT | BF_SOFT},
        {EDGE_SUNKEN, BF_RECT | BF_SOFT}, {BDR_RAISEDINNER, BF_RECT}, {BDR_SUNKENOUTER, BF_RECT},
    };
    const int s = style % 128;
    if (s < 0 || s >= 6) return;  // no such style: nothing to draw
    RECT r = rect;  // DrawEdge may adjust the rectangle it is given
    DrawEdge(dc, &r, kStyles[s].edge, kStyles[s].flags);
}

void TBevel::Create(TWindow& parent, const TRect& r, Shape shape) {
    shape_ = shape;
    RegisterOwnClass(L"QvBevel", 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateOwn(L"QvBevel", WS_EX_TRANSPARENT, WS_CHILD | WS_VISIBLE, {}, r, parent.Handle(), NextControlId());
}

LRESULT TBevel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PaintDC dc(Handle());
        RECT rc = ClientRect();
        if (shape_ == bsTopLine) {
            // A lowered line: shadow above, highlight below.
            RECT line{rc.left, rc.top, rc.right, rc.top + 2};
            DrawEdge(dc.get(), &line, BDR_SUNKENOUTER, BF_TOP | BF_BOTTOM);
        } else {
            DrawBevelEdge(dc.get(), rc, 5);
        }
        return 0;
    }
    return TWindow::WndProc(msg, wParam, lParam);
}

}  // namespace qv
