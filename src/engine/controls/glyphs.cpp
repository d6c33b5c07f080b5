#include "engine/controls/glyphs.h"

#include <cstdint>
#include <vector>

#include "engine/common/win_text.h"
#include "engine/common/platform.h"

namespace qv {

namespace {
// A 32-bit top-down DIB section holding `pixels` (0x00RRGGBB).
Bitmap MakeBitmap(int w, int h, const std::vector<std::uint32_t>& pixels) {
    std::uint32_t* bits = nullptr;
    Bitmap bmp = CreateDib32(w, h, bits);
    if (bits) std::copy(pixels.begin(), pixels.end(), bits);
    return bmp;
}

std::uint32_t ToPixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
}  // namespace

std::string GlyphResourceName(const std::string& baseName) {
    return HasWin4Shell() ? baseName + "95" : baseName;
}

void TGlyph::Free() {
    normal_.reset();
    selected_.reset();
    width_ = height_ = 0;
}

void TGlyph::Build(const std::string& baseName, COLORREF background, COLORREF highlight) {
    Free();
    const std::wstring name = Widen(GlyphResourceName(baseName));
    Bitmap source(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!source) return;
    BITMAP info{};
    GetObjectW(source.get(), sizeof info, &info);
    const int w = info.bmWidth, h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    if (w <= 0 || h <= 0) return;

    // Read the pixels top-down as 32-bit values, whatever the resource's depth.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    BITMAPINFO bi = TopDownDib32(w, h);
    const WindowDC screen(nullptr);
    if (GetDIBits(screen.get(), source.get(), 0, static_cast<UINT>(h), pixels.data(), &bi, DIB_RGB_COLORS) != h)
        return;
    for (auto& p : pixels) p &= 0x00FFFFFF;

    const std::uint32_t transparent = pixels[static_cast<std::size_t>(h - 1) * w];  // bottom-left
    auto recolour = [&](COLORREF with) {
        std::vector<std::uint32_t> copy = pixels;
        for (auto& p : copy)
            if (p == transparent) p = ToPixel(with);
        return MakeBitmap(w, h, copy);
    };
    normal_ = recolour(background);
    selected_ = recolour(highlight);
    if (!normal_ || !selected_) {
        Free();
        return;
    }
    width_ = w;
    height_ = h;
}

void TGlyph::Draw(HDC dc, int x, int y, bool selected) const {
    HBITMAP bmp = selected ? selected_.get() : normal_.get();
    if (!bmp) return;
    MemoryDC mem(dc);
    SelectIn sel(mem.get(), bmp);
    BitBlt(dc, x, y, width_, height_, mem.get(), 0, 0, SRCCOPY);
}

}  // namespace qv
