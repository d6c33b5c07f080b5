// Fonts of the forms, made from a face name and a height in pixels
// (negative: character height, as the layouts give it).
#pragma once

#include <windows.h>

#include <string>

#include "engine/controls/gdi.h"

namespace qv {

struct TFontSpec {
    std::string Face = "宋体";
    int Height = -12;
    bool Bold = false;
    bool Italic = false;
};

Font CreateUiFont(const TFontSpec& spec);
// The character height (text metrics) of a font; of the system font for null.
int CharHeight(HFONT font);
// A height in points at the screen's resolution, as a negative pixel height.
int PointsToHeight(int points);

}  // namespace qv
