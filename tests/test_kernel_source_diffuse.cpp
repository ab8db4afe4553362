// Adding sources and diffusing, through real launches of the two kernels.
#include <gtest/gtest.h>

#include "device_grid.h"

namespace {

constexpr int kLast = kN + 1;
constexpr float kDt = 0.2f;
constexpr float kDiff = 0.5f;

bool isEdge(int i, int j) { return i == 0 || i == kLast || j == 0 || j == kLast; }

FloatGrid diffuseOnce(int b, const FloatGrid& before, const FloatGrid& x0, float rate,
                      const MaskGrid& mask = {}) {
  DeviceFloats x(before), source(x0);
  DeviceMask boundary(mask);
  configureGridLaunch();
  gpuLaunchDiffuse(kN, b, x.get(), source.get(), rate, kDt, boundary.get());
  return x.download();
}

TEST(AddSource, AddsScaledSourceToEveryCellRoundingOnce) {
  FloatGrid x, s;
  for (int j = 0; j <= kLast; ++j) {
    for (int i = 0; i <= kLast; ++i) {
      x(i, j) = 0.1f * static_cast<float>(i % 7);
      s(i, j) = 0.7f * static_cast<float>(j % 5) - 1.1f;
    }
  }
  // Corner, edge and interior cells alike.
  x(0, 0) = x(0, 9) = x(9, 9) = 1.0f;
  s(0, 0) = s(0, 9) = s(9, 9) = 10.0f;
  // Product and sum in double, one rounding: float arithmetic would give 0.24000001 here.
  x(3, 4) = 0.1f;
  s(3, 4) = 0.7f;

  DeviceFloats field(x), source(s);
  configureGridLaunch();
  gpuLaunchAdd_Source(kN, field.get(), source.get(), kDt);
  const FloatGrid result = field.download();

  EXPECT_EQ(result(0, 0), 3.0f);
  EXPECT_EQ(result(0, 9), 3.0f);
  EXPECT_EQ(result(9, 9), 3.0f);
  EXPECT_EQ(result(3, 4), 0.239999995f);
  for (int k = 0; k < kDefaultGridCells; ++k) {
    const float expected =
        static_cast<float>(static_cast<double>(x.cells[k]) + static_cast<double>(s.cells[k]) * kDt);
    ASSERT_EQ(bitsOf(result.cells[k]), bitsOf(expected)) << k;
  }
  EXPECT_EQ(source.download().cells, s.cells);
}

// With the program's dt 0.2 and rate 0.5: a = ((dt * rate) * N) * N in double, stored as
// float, and the divisor 4a + 1 likewise. Each thread runs its 20 passes before the next
// thread starts, so a unit source spreads only to cells later in thread order.
TEST(Diffuse, SpreadsUnitSourceWithProgramRateAndDivisor) {
  const float a = static_cast<float>(((static_cast<double>(kDt) * kDiff) * kN) * kN);
  const float divisor = static_cast<float>(static_cast<double>(a) * 4.0 + 1.0);
  ASSERT_EQ(a, 1587.5999755859375f);
  ASSERT_EQ(divisor, 6351.39990234375f);

  FloatGrid x0;
  x0(5, 5) = 1.0f;
  const FloatGrid x = diffuseOnce(1, FloatGrid{}, x0, kDiff);

  const float source = 1.0f / divisor;
  // A neighbour whose only nonzero input is the source cell; the numerator is stored as float.
  const float next = static_cast<float>(static_cast<double>(a) * source) / divisor;
  const float nextButOne = static_cast<float>(static_cast<double>(a) * next) / divisor;
  EXPECT_EQ(bitsOf(x(5, 5)), bitsOf(source));
  EXPECT_EQ(bitsOf(x(6, 5)), bitsOf(next));
  EXPECT_EQ(bitsOf(x(5, 6)), bitsOf(next));
  EXPECT_EQ(bitsOf(x(7, 5)), bitsOf(nextButOne));
  EXPECT_EQ(bitsOf(x(4, 5)), bitsOf(0.0f));
  EXPECT_EQ(bitsOf(x(5, 4)), bitsOf(0.0f));
}

TEST(Diffuse, UniformOnesStayExactlyOneEverywhere) {
  const FloatGrid ones = filledGrid(1.0f);
  const FloatGrid x = diffuseOnce(0, ones, ones, kDiff);
  for (int k = 0; k < kDefaultGridCells; ++k) ASSERT_EQ(bitsOf(x.cells[k]), bitsOf(1.0f)) << k;
}

TEST(Diffuse, WithZeroRateCopiesSource) {
  FloatGrid before, x0;
  for (int k = 0; k < kDefaultGridCells; ++k) {
    before.cells[k] = 1.0e6f + static_cast<float>(k);
    x0.cells[k] = 0.001f * static_cast<float>(k) - 3.0f;
  }
  MaskGrid mask;
  mask(7, 8) = 1;
  mask(kN, 9) = -4;
  mask(kLast, 5) = 1;  // on the edge: not an obstacle

  const FloatGrid x = diffuseOnce(0, before, x0, 0.0f, mask);
  for (int j = 1; j <= kN; ++j) {
    for (int i = 1; i <= kN; ++i) {
      const float expected = mask(i, j) != 0 ? 0.0f : x0(i, j);
      ASSERT_EQ(bitsOf(x(i, j)), bitsOf(expected)) << i << ", " << j;
    }
  }
  EXPECT_EQ(bitsOf(x(kLast, 5)), bitsOf(x0(kN, 5)));
  EXPECT_EQ(bitsOf(x(kLast, 9)), bitsOf(0.0f));
}

TEST(Diffuse, NonzeroSelectorZeroesEdgesAndObstaclesEndAtZero) {
  const FloatGrid before = filledGrid(5.0f);
  const FloatGrid x0 = filledGrid(2.0f);
  MaskGrid mask;
  mask(1, 1) = 1;
  mask(40, 60) = 1;
  mask(kN, kN) = 1;
  mask(0, 30) = 1;
  for (int b : {1, 2, -7}) {
    SCOPED_TRACE(b);
    const FloatGrid x = diffuseOnce(b, before, x0, kDiff, mask);
    for (int j = 0; j <= kLast; ++j) {
      for (int i = 0; i <= kLast; ++i) {
        if (isEdge(i, j) || mask(i, j) != 0) {
          ASSERT_EQ(bitsOf(x(i, j)), bitsOf(0.0f)) << i << ", " << j;
        } else {
          ASSERT_GT(x(i, j), 0.0f) << i << ", " << j;
        }
      }
    }
  }
}

}  // namespace
