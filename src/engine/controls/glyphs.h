// The small pictures of the folder controls. Each kind has a bitmap
// resource in two looks: the plain name for Windows below 4, the name with
// "95" appended for Windows 4 and later. A control keeps two copies of each:
// the bitmap's background colour (that of its bottom-left pixel) replaced by
// the control's colour for normal items, by the highlight colour for the
// selected item.
#pragma once

#include <windows.h>

#include <string>

#include "engine/controls/gdi.h"

namespace qv {

// The resource name of a glyph for the running Windows version.
std::string GlyphResourceName(const std::string& baseName);

class TGlyph {
public:
    // Loads the resource; a missing resource leaves the glyph empty.
    void Build(const std::string& baseName, COLORREF background, COLORREF highlight);
    void Free();
    bool Empty() const { return !normal_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Draws the normal or selected copy with its top-left corner at (x, y).
    void Draw(HDC dc, int x, int y, bool selected) const;
    // The copies, for tests that read their pixels.
    HBITMAP Normal() const { return normal_.get(); }
    HBITMAP Selected() const { return selected_.get(); }

private:
    Bitmap normal_;
    Bitmap selected_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace qv
