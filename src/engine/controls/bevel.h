// The one frame-drawing function of the controls, and the bevel line.
#pragma once

#include <windows.h>

#include "engine/controls/window.h"

namespace qv {

// Draws a frame with DrawEdge: 0 raised, 1 sunken (the gauge), 2 raised
// soft, 3 sunken soft, 4 thin raised line, 5 thin sunken line (the wizard's
// picture). The style number is taken modulo 128.
void DrawBevelEdge(HDC dc, const RECT& rect, int style);

// A lowered bevel: a sunken box, or only its top line (an etched line).
class TBevel : public TWindow {
public:
    enum Shape { bsBox, bsTopLine };
    void Create(TWindow& parent, const TRect& r, Shape shape);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    Shape shape_ = bsBox;
};

}  // namespace qv
