#include "engine/controls/gauge.h"

#include "engine/common/win_text.h"
#include "engine/controls/bevel.h"
#include "engine/controls/gdi.h"

namespace qv {

namespace {
const wchar_t kGaugeClass[] = L"QvGauge";

// Fills `part` and writes `text` centred in the whole area, clipped to the part.
void PaintPart(HDC dc, const RECT& part, const RECT& whole, COLORREF fill, COLORREF textColor,
               const std::wstring* text) {
    Brush brush(CreateSolidBrush(fill));
    FillRect(dc, &part, brush.get());
    if (!text) return;
    SavedDC saved(dc);
    IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
    SetTextColor(dc, textColor);
    SetBkMode(dc, TRANSPARENT);
    RECT r = whole;
    DrawTextW(dc, text->c_str(), static_cast<int>(text->size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
}
}  // namespace

void TNewGauge::Create(TWindow& parent, const TRect& r) {
    RegisterOwnClass(kGaugeClass, 0, nullptr);
    CreateOwn(kGaugeClass, 0, WS_CHILD | WS_VISIBLE, {}, r, parent.Handle(), NextControlId());
    Changed();
}

void TNewGauge::Changed() {
    // The painted percentage is the window's text too, for screen readers
    // and for whoever watches the installation from outside.
    std::string text = showText_ ? GaugePercentText(range_) : std::string();
    if (text != windowText_) {
        windowText_ = std::move(text);
        SetText(windowText_);
    }
    Invalidate(false);
}

void TNewGauge::SetMinValue(std::int32_t value) {
    if (value == range_.MinValue) return;
    if (value > range_.MaxValue) throw EInvalidOperation(GaugeMinValueError(range_.MaxValue));
    range_.MinValue = value;
    if (range_.Progress < value) range_.Progress = value;
    Changed();
}

void TNewGauge::SetMaxValue(std::int32_t value) {
    if (value == range_.MaxValue) return;
    if (value < range_.MinValue) throw EInvalidOperation(GaugeMaxValueError(range_.MinValue));
    range_.MaxValue = value;
    if (range_.Progress > value) range_.Progress = value;
    Changed();
}

void TNewGauge::SetProgress(std::int32_t value) {
    value = ClampGaugeProgress(value, range_.MinValue, range_.MaxValue);
    if (value == range_.Progress) return;
    range_.Progress = value;
    Changed();
}

void TNewGauge::SetShowText(bool value) {
    if (value == showText_) return;
    showText_ = value;
    Changed();
}

void TNewGauge::SetForeColor(COLORREF value) {
    if (value == foreColor_) return;
    foreColor_ = value;
    Changed();
}

void TNewGauge::SetBackgroundColor(COLORREF value) {
    if (value == backColor_) return;
    backColor_ = value;
    Changed();
}

void TNewGauge::SetFont(const TFontSpec& spec) {
    font_ = CreateUiFont(spec);
    Changed();
}

void TNewGauge::PaintTo(HDC dc) {
    const RECT client = ClientRect();
    DrawBevelEdge(dc, client, 1);
    const int w = (client.right - client.left) - 4;
    const int h = (client.bottom - client.top) - 4;
    if (w < 1 || h < 1) return;

    // One off-screen bitmap per paint: the two parts and the text appear at once.
    MemoryDC mem(dc);
    Bitmap bmp(CreateCompatibleBitmap(dc, w, h));
    if (!mem.get() || !bmp) return;
    SelectIn selBmp(mem.get(), bmp.get());
    SelectIn selFont(mem.get(), font_ ? font_.get() : ChildFont());

    const std::wstring text = Widen(GaugePercentText(range_));
    const int filled = GaugeFilledWidth(w, range_);
    const RECT whole{0, 0, w, h};
    PaintPart(mem.get(), RECT{0, 0, filled, h}, whole, foreColor_, backColor_, showText_ ? &text : nullptr);
    PaintPart(mem.get(), RECT{filled, 0, w, h}, whole, backColor_, foreColor_, showText_ ? &text : nullptr);
    BitBlt(dc, 2, 2, w, h, mem.get(), 0, 0, SRCCOPY);
}

LRESULT TNewGauge::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // the gauge paints its whole area
        case WM_PAINT: {
            PaintDC dc(Handle());
            PaintTo(dc.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintTo(reinterpret_cast<HDC>(wParam));
            return 0;
        default:
            return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace qv
