// Device operations whose results the kernels depend on bit for bit.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

// Division as the device performs it: a divisor above 2^126 in magnitude scales both operands
// by 1/4 first, and an infinite divisor then gives a signed zero, or the NaN 0x7FFFFFFF when
// the numerator is not finite. Otherwise the correctly rounded single-precision quotient.
// Inline: the kernels call it in their innermost loops.
inline float deviceDivide(float numerator, float divisor) {
  constexpr float kScaleThreshold = 0x1p126f;
  constexpr double kLargestFloat = std::numeric_limits<float>::max();
  // Divisors this large are rare: the common path falls straight through to the division.
  if (std::fabs(divisor) > kScaleThreshold) [[unlikely]] {
    numerator = numerator * 0.25f;
    divisor = divisor * 0.25f;
  }
  if (std::fabs(divisor) > kScaleThreshold) [[unlikely]] {
    if (std::fabs(numerator) <= kLargestFloat) {
      return static_cast<float>(
          (static_cast<double>(numerator) / divisor / kLargestFloat) / kLargestFloat);
    }
    return std::bit_cast<float>(std::uint32_t{0x7FFFFFFF});
  }
  // Single-precision division is correctly rounded.
  return numerator / divisor;
}

// Float to int rounding toward zero, saturating; NaN gives 0. A bare conversion of such
// values would be undefined.
inline std::int32_t deviceFloatToInt(float x) {
  if (std::isnan(x)) return 0;
  if (static_cast<double>(x) >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (static_cast<double>(x) <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);  // in range: truncates toward zero
}
