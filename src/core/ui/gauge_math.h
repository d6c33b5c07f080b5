// What a progress gauge shows for its values: the percentage text and the
// width of the filled part. Pure arithmetic, shared by the gauge control.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct GaugeRange {
    std::int32_t MinValue = 0;
    std::int32_t MaxValue = 100;
    std::int32_t Progress = 0;
};

// "0 %" when the range is empty; otherwise the rounded percentage "%d %%"
// (at most 5 characters), or "?" when it cannot be computed.
std::string GaugePercentText(const GaugeRange& r);
// Width of the filled part of an inner area `innerWidth` pixels wide;
// 0 for an empty range or when it cannot be computed.
std::int32_t GaugeFilledWidth(std::int32_t innerWidth, const GaugeRange& r);

// Clamps a new Progress into MinValue..MaxValue.
std::int32_t ClampGaugeProgress(std::int32_t value, std::int32_t minValue, std::int32_t maxValue);

// The invalid-operation text for a MinValue above MaxValue or a MaxValue
// below MinValue: "Value must be between %d and %d" with the allowed range.
std::string GaugeMinValueError(std::int32_t maxValue);
std::string GaugeMaxValueError(std::int32_t minValue);

}  // namespace qv
