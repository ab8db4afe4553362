// Device division and float-to-int conversion, value by value.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "device_arithmetic.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr std::uint32_t kDeviceNaN = 0x7FFFFFFF;
constexpr std::uint32_t kAnyNaN = 0xFFFFFFFF;  // table marker: any NaN will do

TEST(DeviceArithmetic, DivideGivesDeviceQuotientBitForBit) {
  struct Case {
    float numerator;
    float divisor;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {6.0f, 3.0f, std::bit_cast<std::uint32_t>(2.0f)},
      {1.0f, 3.0f, std::bit_cast<std::uint32_t>(1.0f / 3.0f)},
      {1.0f, 0.0f, std::bit_cast<std::uint32_t>(kInf)},
      {-1.0f, 0.0f, std::bit_cast<std::uint32_t>(-kInf)},
      {0.0f, 0.0f, kAnyNaN},
      {1.0f, kNaN, kAnyNaN},
      // An infinite divisor gives a zero carrying the quotient's sign.
      {1.0f, kInf, 0x00000000},
      {-1.0f, kInf, 0x80000000},
      {1.0f, -kInf, 0x80000000},
      {kMax, kInf, 0x00000000},
      {0.0f, kInf, 0x00000000},
      // ...and the one fixed NaN when the numerator is not finite.
      {kInf, kInf, kDeviceNaN},
      {-kInf, kInf, kDeviceNaN},
      {kNaN, -kInf, kDeviceNaN},
      // A divisor of exactly 2^126 is neither scaled nor treated as infinite.
      {1.0f, 0x1p126f, 0x00800000},
      {kInf, 0x1p126f, std::bit_cast<std::uint32_t>(kInf)},
      // Above 2^126 both operands are scaled by 1/4; finite quotients are unchanged by that.
      {1.0f, 0x1p127f, std::bit_cast<std::uint32_t>(0x1p-127f)},
      {0x1p127f, 0x1p127f, std::bit_cast<std::uint32_t>(1.0f)},
      {kMax, -kMax, std::bit_cast<std::uint32_t>(-1.0f)},
      {kInf, 0x1p127f, std::bit_cast<std::uint32_t>(kInf)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.numerator << " / " << c.divisor);
    const float quotient = deviceDivide(c.numerator, c.divisor);
    if (c.expected == kAnyNaN) {
      EXPECT_TRUE(std::isnan(quotient));
    } else {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(quotient), c.expected);
    }
  }
}

TEST(DeviceArithmetic, FloatToIntTruncatesAndSaturates) {
  struct Case {
    float x;
    std::int32_t expected;
  };
  constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
  const Case cases[] = {
      {2.9f, 2},
      {-2.9f, -2},
      {-0.5f, 0},
      {0.5f, 0},
      {-0.0f, 0},
      {126.5f, 126},
      {2147483520.0f, 2147483520},  // largest float below 2^31
      {2147483648.0f, kIntMax},
      {1e10f, kIntMax},
      {kInf, kIntMax},
      {-2147483520.0f, -2147483520},
      {-2147483648.0f, kIntMin},
      {-1e10f, kIntMin},
      {-kInf, kIntMin},
      {kNaN, 0},
      {-kNaN, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x);
    EXPECT_EQ(deviceFloatToInt(c.x), c.expected);
  }
}

}  // namespace
