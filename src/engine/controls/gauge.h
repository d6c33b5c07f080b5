// TNewGauge: the horizontal progress bar. A sunken frame, the filled part in
// ForeColor, the rest in BackgroundColor, and the percentage across the
// middle in the opposite colour of whatever lies behind each letter.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/ui/gauge_math.h"
#include "engine/controls/fonts.h"
#include "engine/controls/window.h"

namespace qv {

// The invalid-operation error of a property set out of range.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// Its window text is the percentage it shows (empty without the text).
class TNewGauge : public TWindow {
public:
    // A new gauge is 100 x 100 pixels unless the rectangle says otherwise.
    void Create(TWindow& parent, const TRect& r = {0, 0, 100, 100});

    std::int32_t MinValue() const { return range_.MinValue; }
    std::int32_t MaxValue() const { return range_.MaxValue; }
    std::int32_t Progress() const { return range_.Progress; }
    bool ShowText() const { return showText_; }
    COLORREF ForeColor() const { return foreColor_; }
    COLORREF BackgroundColor() const { return backColor_; }

    // Each setter repaints only when the stored value changes. MinValue above
    // MaxValue, or MaxValue below MinValue, raise EInvalidOperation and keep
    // the old values.
    void SetMinValue(std::int32_t value);
    void SetMaxValue(std::int32_t value);
    void SetProgress(std::int32_t value);  // clamped to MinValue..MaxValue
    void SetShowText(bool value);
    void SetForeColor(COLORREF value);
    void SetBackgroundColor(COLORREF value);
    // The font of the percentage (the parent's font until set).
    void SetFont(const TFontSpec& spec);

    // Paints the whole gauge into dc at (0, 0) with the window's size.
    void PaintTo(HDC dc);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Changed();

    GaugeRange range_{0, 100, 0};
    bool showText_ = true;
    std::string windowText_;
    COLORREF foreColor_ = RGB(0, 0, 128);   // navy
    COLORREF backColor_ = RGB(255, 255, 255);
    Font font_;
};

}  // namespace qv
