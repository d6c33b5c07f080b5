// TNewPathLabel: a label that shortens a long path with "...\" to fit its
// width. Accelerator characters are off: an ampersand shows as itself.
#pragma once

#include "engine/controls/window.h"

namespace qv {

class TNewPathLabel : public TWindow {
public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };

    void Create(TWindow& parent, const TRect& r, const std::string& caption = {});

    void SetAlignment(TAlignment a);
    void SetWordWrap(bool wrap);
    void SetTransparent(bool transparent);
    void SetColor(COLORREF color);
    // The text as painted now: the caption shortened to the label's width.
    std::string DisplayText() const;

    // Paints into dc at (0, 0) with the label's size.
    void PaintTo(HDC dc);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::string DisplayTextOn(HDC dc) const;

    TAlignment alignment_ = taLeftJustify;
    bool wordWrap_ = false;
    bool transparent_ = false;
    bool customColor_ = false;
    COLORREF color_ = 0;
};

}  // namespace qv
