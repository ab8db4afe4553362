// Device operations whose results the kernels depend on bit for bit.
#pragma once

#include <cstdint>

// Division as the device performs it: a divisor above 2^126 in magnitude scales both operands
// by 1/4 first, and an infinite divisor then gives a signed zero, or the NaN 0x7FFFFFFF when
// the numerator is not finite. Otherwise the correctly rounded single-precision quotient.
float deviceDivide(float numerator, float divisor);

// Float to int rounding toward zero, saturating; NaN gives 0. A bare conversion of such
// values would be undefined.
std::int32_t deviceFloatToInt(float x);
