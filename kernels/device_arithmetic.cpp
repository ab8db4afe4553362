#include "device_arithmetic.h"

#include <bit>
#include <cmath>
#include <limits>

float deviceDivide(float numerator, float divisor) {
  constexpr float kScaleThreshold = 0x1p126f;
  constexpr double kLargestFloat = std::numeric_limits<float>::max();
  if (std::fabs(divisor) > kScaleThreshold) {
    numerator = numerator * 0.25f;
    divisor = divisor * 0.25f;
  }
  if (std::fabs(divisor) > kScaleThreshold) {
    if (std::fabs(numerator) <= kLargestFloat) {
      return static_cast<float>(
          (static_cast<double>(numerator) / divisor / kLargestFloat) / kLargestFloat);
    }
    return std::bit_cast<float>(std::uint32_t{0x7FFFFFFF});
  }
  // Single-precision division is correctly rounded.
  return numerator / divisor;
}

std::int32_t deviceFloatToInt(float x) {
  if (std::isnan(x)) return 0;
  if (static_cast<double>(x) >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (static_cast<double>(x) <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);  // in range: truncates toward zero
}
