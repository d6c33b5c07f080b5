// Integer arithmetic with the rounding of the Windows API, so that sizes
// and colours computed here match what GDI code computes on the system.
#pragma once

#include <cstdint>
#include <optional>

namespace qv {

// a * b / c with an exact product, rounded to the nearest integer, halves
// away from zero. b and c may be differences of two 32-bit values (33
// bits), so that a range wider than 2^31 does not wrap. Nullopt where
// Windows' MulDiv fails: c is 0 or the result does not fit in 32 bits.
std::optional<std::int32_t> MulDivRounded(std::int32_t a, std::int64_t b, std::int64_t c);

// MulDivRounded, or -1 on failure, exactly as the Windows function answers.
std::int32_t WinMulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace qv
