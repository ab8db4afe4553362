// Semi-Lagrangian advection through real launches: departure points, bilinear weights,
// clamping, obstacle cells and the obstacle reflection of variants 1 and 2.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "device_grid.h"

namespace {

constexpr int kLast = kN + 1;
// With dt 1 a thread moves back N * velocity cells, so velocity = cells / N.
constexpr float kDt = 1.0f;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

float velocityFor(float cells) { return cells / static_cast<float>(kN); }

// Inexact, distinct values, so that a wrong cell, weight or grouping shows.
FloatGrid distinctField() {
  FloatGrid d0;
  for (int j = 0; j <= kLast; ++j) {
    for (int i = 0; i <= kLast; ++i) d0(i, j) = 1.0f / static_cast<float>(3 + i + 7 * j);
  }
  return d0;
}

// The interpolation as defined: the sums along j first, each weighted along i.
float bilinear(const FloatGrid& d0, int i0, float wi1, int j0, float wj1) {
  const float wi0 = static_cast<float>(1.0 - wi1);
  const float wj0 = static_cast<float>(1.0 - wj1);
  return static_cast<float>(
      (static_cast<double>(d0(i0, j0)) * wj0 + static_cast<double>(d0(i0, j0 + 1)) * wj1) * wi0 +
      (static_cast<double>(d0(i0 + 1, j0)) * wj0 + static_cast<double>(d0(i0 + 1, j0 + 1)) * wj1) *
          wi1);
}

TEST(Advect, InterpolatesAtClampedDeparturePoint) {
  struct Case {
    int i, j;              // the cell
    float back_i, back_j;  // cells its velocity carries it back along i and j
    int i0;
    float wi1;
    int j0;
    float wj1;
  };
  const Case cases[] = {
      {4, 8, 0.75f, 0.5f, 3, 0.25f, 7, 0.5f},          // departure (3.25, 7.5)
      {10, 20, -0.5f, 0.25f, 10, 0.5f, 19, 0.75f},     // (10.5, 19.75)
      {30, 40, 2.0f, -3.0f, 28, 0.0f, 43, 0.0f},       // exactly on cell (28, 43)
      {2, 50, 5.0f, 0.0f, 0, 0.5f, 50, 0.0f},          // below 0.5 along i
      {kN - 1, 51, -10.0f, 0.0f, kN, 0.5f, 51, 0.0f},  // above N + 0.5 along i
      {60, 3, 0.0f, 9.0f, 60, 0.0f, 0, 0.5f},          // below 0.5 along j
      {61, kN, 0.0f, -0.75f, 61, 0.0f, kN, 0.5f},      // above N + 0.5 along j
  };
  AdvectFields f;
  f.d0 = distinctField();
  // Around (3.25, 7.5) the exact value lies just above a rounding tie; the tiny d0(3, 8)
  // decides it, and would be lost if the sums along j were rounded to float.
  f.d0(3, 7) = 1.0f;
  f.d0(3, 8) = 0x1p-40f;
  f.d0(4, 7) = f.d0(4, 8) = 0x1p-24f;
  for (const Case& c : cases) {
    f.u(c.i, c.j) = velocityFor(c.back_i);
    f.v(c.i, c.j) = velocityFor(c.back_j);
  }
  // Infinite velocities clamp like finite ones.
  f.u(70, 70) = kInf;
  f.v(70, 70) = -kInf;
  const FloatGrid d = advectOnce(0, f, kDt);

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "cell " << c.i << ", " << c.j);
    EXPECT_EQ(bitsOf(d(c.i, c.j)), bitsOf(bilinear(f.d0, c.i0, c.wi1, c.j0, c.wj1)));
  }
  EXPECT_EQ(bitsOf(d(70, 70)), bitsOf(bilinear(f.d0, 0, 0.5f, kN, 0.5f)));
  // The defined example, written out.
  EXPECT_EQ(d(4, 8), static_cast<float>((0.5 * f.d0(3, 7) + 0.5 * f.d0(3, 8)) * 0.75 +
                                        (0.5 * f.d0(4, 7) + 0.5 * f.d0(4, 8)) * 0.25));
  EXPECT_EQ(d(4, 8), 0.375f + 0x1p-25f);
}

TEST(Advect, NotANumberVelocityReadsInsideGridAndGivesNotANumber) {
  AdvectFields f;
  f.d0 = filledGrid(1.0f);
  f.u(5, 5) = kNaN;
  f.v(6, 6) = kNaN;
  f.u(kN, kN) = kNaN;
  f.v(kN, kN) = kNaN;
  const FloatGrid d = advectOnce(0, f, kDt);
  EXPECT_TRUE(std::isnan(d(5, 5)));
  EXPECT_TRUE(std::isnan(d(6, 6)));
  EXPECT_TRUE(std::isnan(d(kN, kN)));
  EXPECT_EQ(d(7, 7), 1.0f);
  // A NaN dt does the same to every cell off the edge.
  const FloatGrid all = advectOnce(1, f, kNaN);
  EXPECT_TRUE(std::isnan(all(1, 1)));
  EXPECT_TRUE(std::isnan(all(64, 100)));
}

TEST(Advect, ObstacleCellsEndAtZeroWhateverVariant) {
  AdvectFields f;
  f.d0 = filledGrid(3.0f);
  f.u = filledGrid(velocityFor(2.5f));
  f.v = filledGrid(velocityFor(-1.5f));
  f.before = filledGrid(9.0f);
  f.mask(1, 1) = 1;
  f.mask(50, 70) = 1;
  f.mask(kN, kN) = 2;
  for (int b : {0, 1, 2, 3}) {
    SCOPED_TRACE(b);
    const FloatGrid d = advectOnce(b, f, kDt);
    EXPECT_EQ(bitsOf(d(1, 1)), 0u);
    EXPECT_EQ(bitsOf(d(50, 70)), 0u);
    EXPECT_EQ(bitsOf(d(kN, kN)), 0u);
  }
}

// With zero velocity val is d0 of the cell itself; the cell is surrounded by the obstacles
// of one case. Reflection negates and touches nothing else.
TEST(Advect, ReflectsOnlyForVariantsOneAndTwoTowardsObstacleSide) {
  enum Side { kIMinus = 1, kIPlus = 2, kJMinus = 4, kJPlus = 8, kAll = 15 };
  struct Case {
    int b;
    float val;
    int obstacles;
    bool reflected;
  };
  const Case cases[] = {
      {1, 2.5f, kJPlus, true},   {1, 2.5f, kJMinus, false}, {1, -2.5f, kJMinus, true},
      {1, -2.5f, kJPlus, false}, {1, 2.5f, kIPlus, false},  {1, -2.5f, kIMinus, false},
      {2, 2.5f, kIPlus, true},   {2, 2.5f, kIMinus, false}, {2, -2.5f, kIMinus, true},
      {2, -2.5f, kIPlus, false}, {2, 2.5f, kJPlus, false},  {2, -2.5f, kJMinus, false},
      {1, 0.0f, kAll, false},    {2, 0.0f, kAll, false},    {2, -kInf, kAll, true},
      {0, 2.5f, kAll, false},    {0, -2.5f, kAll, false},   {3, 2.5f, kAll, false},
      {3, -2.5f, kAll, false},
  };
  const int i = 20;
  const int j = 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "b " << c.b << " val " << c.val << " sides " << c.obstacles);
    AdvectFields f;
    f.d0(i, j) = c.val;
    if (c.obstacles & kIMinus) f.mask(i - 1, j) = 1;
    if (c.obstacles & kIPlus) f.mask(i + 1, j) = 1;
    if (c.obstacles & kJMinus) f.mask(i, j - 1) = 1;
    if (c.obstacles & kJPlus) f.mask(i, j + 1) = 1;
    const FloatGrid d = advectOnce(c.b, f, kDt);
    EXPECT_EQ(bitsOf(d(i, j)), bitsOf(c.reflected ? -c.val : c.val));
  }
  // NaN is never reflected.
  AdvectFields f;
  f.d0(i, j) = kNaN;
  f.mask(i - 1, j) = f.mask(i + 1, j) = f.mask(i, j - 1) = f.mask(i, j + 1) = 1;
  for (int b : {1, 2}) EXPECT_TRUE(std::isnan(advectOnce(b, f, kDt)(i, j))) << b;
}

TEST(Advect, EdgeCellMaskCountsAsObstacleNeighbour) {
  AdvectFields f;
  f.d0(5, 1) = -1.0f;  // points at (5, 0) along j
  f.d0(kN, 9) = 1.0f;  // points at (N+1, 9) along i
  f.mask(5, 0) = 1;
  f.mask(kLast, 9) = 1;
  EXPECT_EQ(advectOnce(1, f, kDt)(5, 1), 1.0f);
  EXPECT_EQ(advectOnce(2, f, kDt)(kN, 9), -1.0f);
}

TEST(Advect, SourceMayBeTheVelocityBuffer) {
  FloatGrid u, v;
  for (int j = 0; j <= kLast; ++j) {
    for (int i = 0; i <= kLast; ++i) {
      u(i, j) = velocityFor(static_cast<float>((i * 7 + j * 3) % 11) * 0.3f - 1.4f);
      v(i, j) = velocityFor(static_cast<float>((i * 5 + j) % 13) * 0.25f - 1.6f);
    }
  }
  MaskGrid mask;
  mask(30, 30) = mask(31, 30) = mask(64, 65) = 1;

  DeviceFloats separate_d(filledGrid(0.0f)), aliased_d(filledGrid(0.0f));
  DeviceFloats d0(u), velocity_u(u), velocity_v(v);
  DeviceMask boundary(mask);
  configureGridLaunch();
  gpuLaunchAdvect(kN, 1, separate_d.get(), d0.get(), velocity_u.get(), velocity_v.get(), kDt,
                  boundary.get());
  configureGridLaunch();
  gpuLaunchAdvect(kN, 1, aliased_d.get(), velocity_u.get(), velocity_u.get(), velocity_v.get(), kDt,
                  boundary.get());
  const FloatGrid separate = separate_d.download();
  EXPECT_EQ(aliased_d.download().cells, separate.cells);
  EXPECT_NE(separate(40, 40), 0.0f);
}

}  // namespace
