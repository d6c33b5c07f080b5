// The arithmetic of the background window's gradient: 64 bands, each a
// darker shade of the background colour.
#pragma once

#include <cstdint>

namespace qv {

constexpr int kBackgroundBands = 64;

// Each of red, green and blue of a 0x00BBGGRR colour times f / 255
// (truncated); the fourth byte is kept.
std::uint32_t ScaleColor(std::uint32_t color, int f);

// The colour of band i (0 at the top, full colour): ScaleColor(c, 255 - 4 i).
std::uint32_t BandColor(std::uint32_t color, int band);

// Top and bottom of band i in a client area of height h: MulDiv(h, i, 63)
// and MulDiv(h, i + 1, 63). The last band lies below the area.
struct BandSpan {
    int Top;
    int Bottom;
};
BandSpan BandRows(int clientHeight, int band);

}  // namespace qv
