#include "core/ui/background.h"

#include "core/ui/win_math.h"

namespace qv {

std::uint32_t ScaleColor(std::uint32_t color, int f) {
    std::uint32_t out = color & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t byte = (color >> shift) & 0xFF;
        out |= ((byte * static_cast<std::uint32_t>(f) / 255) & 0xFF) << shift;
    }
    return out;
}

std::uint32_t BandColor(std::uint32_t color, int band) { return ScaleColor(color, 255 - 4 * band); }

BandSpan BandRows(int clientHeight, int band) {
    return {WinMulDiv(clientHeight, band, 63), WinMulDiv(clientHeight, band + 1, 63)};
}

}  // namespace qv
