#include "core/ui/gauge_math.h"

#include <string>

#include "core/ui/win_math.h"

namespace qv {

namespace {
std::string RangeText(std::int64_t low, std::int64_t high) {
    return "Value must be between " + std::to_string(low) + " and " + std::to_string(high);
}
}  // namespace

std::string GaugePercentText(const GaugeRange& r) {
    if (r.MinValue == r.MaxValue) return "0 %";
    // The differences are taken in 64 bits: a range wider than 2^31 must not wrap.
    auto p = MulDivRounded(100, std::int64_t{r.Progress} - r.MinValue, std::int64_t{r.MaxValue} - r.MinValue);
    if (!p) return "?";
    return (std::to_string(static_cast<int>(*p)) + " %").substr(0, 5);
}

std::int32_t GaugeFilledWidth(std::int32_t innerWidth, const GaugeRange& r) {
    if (r.MinValue == r.MaxValue) return 0;
    auto w = MulDivRounded(innerWidth, std::int64_t{r.Progress} - r.MinValue, std::int64_t{r.MaxValue} - r.MinValue);
    return w ? *w : 0;
}

std::int32_t ClampGaugeProgress(std::int32_t value, std::int32_t minValue, std::int32_t maxValue) {
    if (value < minValue) return minValue;
    if (value > maxValue) return maxValue;
    return value;
}

std::string GaugeMinValueError(std::int32_t maxValue) { return RangeText(-2147483647, std::int64_t{maxValue} - 1); }

std::string GaugeMaxValueError(std::int32_t minValue) { return RangeText(std::int64_t{minValue} + 1, 2147483647); }

}  // namespace qv
