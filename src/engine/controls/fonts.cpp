#include "engine/controls/fonts.h"

#include <windows.h>

#include "core/errors.h"
#include "engine/common/win_text.h"

namespace qv {

Font CreateUiFont(const TFontSpec& spec) {
    LOGFONTW lf{};
    lf.lfHeight = spec.Height;
    lf.lfWeight = spec.Bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = spec.Italic ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = Widen(spec.Face);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    HFONT f = CreateFontIndirectW(&lf);
    if (!f) throw Exception("CreateFontIndirect failed for " + spec.Face);
    return Font(f);
}

int CharHeight(HFONT font) {
    const WindowDC screen(nullptr);
    const SelectIn selected(screen.get(), font);
    TEXTMETRICW tm{};
    const BOOL ok = GetTextMetricsW(screen.get(), &tm);
    return ok ? static_cast<int>(tm.tmHeight) : 0;
}

int PointsToHeight(int points) {
    const WindowDC screen(nullptr);
    return -MulDiv(points, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
}

}  // namespace qv
