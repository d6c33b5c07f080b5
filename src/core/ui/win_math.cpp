#include "core/ui/win_math.h"

#include <cstdlib>
#include <limits>

namespace qv {

std::optional<std::int32_t> MulDivRounded(std::int32_t a, std::int64_t b, std::int64_t c) {
    constexpr std::int64_t kLimit = std::int64_t{1} << 32;
    if (c == 0 || b >= kLimit || b <= -kLimit || c >= kLimit || c <= -kLimit) return std::nullopt;
    // Magnitudes: |a| <= 2^31 and |b| < 2^32 keep the product below 2^63.
    const bool negative = ((a < 0) != (b < 0)) != (c < 0) && a != 0 && b != 0;
    const std::uint64_t ua = a < 0 ? std::uint64_t(-std::int64_t{a}) : std::uint64_t(a);
    const std::uint64_t ub = b < 0 ? std::uint64_t(-b) : std::uint64_t(b);
    const std::uint64_t uc = c < 0 ? std::uint64_t(-c) : std::uint64_t(c);
    const std::uint64_t q = (ua * ub + uc / 2) / uc;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (q > limit) return std::nullopt;
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(q)) : static_cast<std::int32_t>(q);
}

std::int32_t WinMulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
    return MulDivRounded(a, b, c).value_or(-1);
}

}  // namespace qv
