// The three projection kernels through real launches: divergence, pressure relaxation and
// gradient subtraction, with the obstacle reflection each of them applies.
#include <gtest/gtest.h>

#include <utility>

#include "device_arithmetic.h"
#include "device_grid.h"

namespace {

constexpr int kLast = kN + 1;
// Grid spacing as the kernels form it: 1/N in double, stored as float. Not 1/128.
const float kH = static_cast<float>(1.0 / kN);
// deviceDivide(1, h): one unit of pressure difference over two cells.
constexpr float kUnitGradient = 125.99999237060547f;
constexpr std::uint32_t kNegativeZero = 0x80000000;

enum Side { kIMinus = 1, kIPlus = 2, kJMinus = 4, kJPlus = 8, kAll = 15 };

void surround(MaskGrid& mask, int i, int j, int sides) {
  if (sides & kIMinus) mask(i - 1, j) = 1;
  if (sides & kIPlus) mask(i + 1, j) = 1;
  if (sides & kJMinus) mask(i, j - 1) = 1;
  if (sides & kJPlus) mask(i, j + 1) = 1;
}

struct DivergenceAndPressure {
  FloatGrid div;
  FloatGrid p;
};

DivergenceAndPressure projectStep1(const FloatGrid& u, const FloatGrid& v, const MaskGrid& mask,
                                   float stale = 0.0f) {
  DeviceFloats du(u), dv(v), p(filledGrid(stale)), div(filledGrid(stale));
  DeviceMask boundary(mask);
  configureGridLaunch();
  gpuLaunchProjectStep1(kN, du.get(), dv.get(), p.get(), div.get(), boundary.get());
  return {div.download(), p.download()};
}

FloatGrid projectStep2(const FloatGrid& p_before, const FloatGrid& div, const MaskGrid& mask) {
  DeviceFloats p(p_before), d(div);
  DeviceMask boundary(mask);
  configureGridLaunch();
  gpuLaunchProjectStep2(kN, p.get(), d.get(), boundary.get());
  return p.download();
}

std::pair<FloatGrid, FloatGrid> projectStep3(const FloatGrid& u, const FloatGrid& v,
                                             const FloatGrid& p, const MaskGrid& mask) {
  DeviceFloats du(u), dv(v), dp(p);
  DeviceMask boundary(mask);
  configureGridLaunch();
  gpuLaunchProjectStep3(kN, du.get(), dv.get(), dp.get(), boundary.get());
  return {du.download(), dv.download()};
}

TEST(ProjectStep1, ZeroVelocityGivesNegativeZeroDivergenceAndClearsPressure) {
  MaskGrid mask;
  mask(20, 30) = 1;
  mask(kN, 1) = 1;
  surround(mask, 60, 60, kAll);
  const DivergenceAndPressure r = projectStep1(FloatGrid{}, FloatGrid{}, mask, 9.0f);
  for (int j = 1; j <= kN; ++j) {
    for (int i = 1; i <= kN; ++i) {
      SCOPED_TRACE(testing::Message() << i << ", " << j);
      // h * -0.5 is negative, so the zero difference gives -0.0, which is never reflected.
      ASSERT_EQ(bitsOf(r.div(i, j)), mask(i, j) != 0 ? 0u : kNegativeZero);
      ASSERT_EQ(bitsOf(r.p(i, j)), 0u);
    }
  }
}

TEST(ProjectStep1, DivergenceOfShearIsMinusHTimesJ) {
  ASSERT_EQ(kH, 0.0079365084f);
  FloatGrid u;
  for (int j = 0; j <= kLast; ++j) {
    for (int i = 0; i <= kLast; ++i) u(i, j) = static_cast<float>(i * j);
  }
  const DivergenceAndPressure r = projectStep1(u, FloatGrid{}, MaskGrid{});
  for (int j = 1; j <= kN; ++j) {
    const float expected = static_cast<float>(-static_cast<double>(kH) * j);
    for (int i = 1; i <= kN; ++i)
      ASSERT_EQ(bitsOf(r.div(i, j)), bitsOf(expected)) << i << ", " << j;
  }
}

// The sign of the divergence is set through v at (i, j+1); the obstacles of a case sit
// around the cell. Step 1 reflects along i only.
TEST(ProjectStep1, ReflectsDivergenceTowardsObstacleAlongI) {
  struct Case {
    float sign;
    int obstacles;
    bool reflected;
  };
  const Case cases[] = {
      {1, kIPlus, true},   {1, kIMinus, false}, {-1, kIMinus, true},
      {-1, kIPlus, false}, {1, kJPlus, false},  {-1, kJMinus, false},
  };
  const float half_h = static_cast<float>((static_cast<double>(kH) * -0.5) * -1.0);
  const int i = 20;
  const int j = 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "sign " << c.sign << " sides " << c.obstacles);
    FloatGrid v;
    v(i, j + 1) = -c.sign;
    MaskGrid mask;
    surround(mask, i, j, c.obstacles);
    const float dval = c.sign * half_h;
    EXPECT_EQ(bitsOf(projectStep1(FloatGrid{}, v, mask).div(i, j)),
              bitsOf(c.reflected ? -dval : dval));
  }
}

// Blocks run one after another, each through all 20 passes, so in a two-cell pocket
// A = (i, j), B = (i, j+1) walled in by obstacles, A relaxes while B still holds 0 and B
// then relaxes against A's final value. Step 2 reflects along j only.
TEST(ProjectStep2, RelaxesPressureReflectingTowardsObstacleAlongJ) {
  struct Pocket {
    int i;
    float div_a, div_b;
    float p_a, p_b;
  };
  const Pocket pockets[] = {
      {10, 1.0f, 0.0f, 0.25f, -0.0625f},   // A positive, obstacle only at j-1: kept
      {20, -1.0f, 0.0f, 0.25f, -0.0625f},  // A negative, obstacle at j-1: reflected
      {30, 0.0f, -1.0f, 0.0f, -0.25f},     // B negative, A at j-1 no obstacle: kept
      {40, 0.0f, 1.0f, 0.0f, -0.25f},      // B positive, obstacle at j+1: reflected
  };
  const int j = 40;
  const int enclosed_i = 50;

  FloatGrid div, p;
  MaskGrid mask;
  FloatGrid expected;
  for (const Pocket& pocket : pockets) {
    surround(mask, pocket.i, j, kIMinus | kIPlus | kJMinus);
    surround(mask, pocket.i, j + 1, kIMinus | kIPlus | kJPlus);
    div(pocket.i, j) = pocket.div_a;
    div(pocket.i, j + 1) = pocket.div_b;
    expected(pocket.i, j) = pocket.p_a;
    expected(pocket.i, j + 1) = pocket.p_b;
  }
  surround(mask, enclosed_i, j, kAll);
  div(enclosed_i, j) = 1.0f;
  expected(enclosed_i, j) = -0.25f;

  // The five-term sum is rounded once: Z = (i, j-1) relaxes to 2^-24 before A's block runs,
  // and the obstacle (i, j+1) still holds its stale 2^-24 throughout A's block, so A sums
  // 1 + 2^-24 + 2^-24 = 1 + 2^-23 (float additions would lose both halves to the tie).
  // The obstacle itself ends at 0 whatever it held.
  const int rounding_i = 70;
  surround(mask, rounding_i, j - 1, kIMinus | kIPlus | kJMinus);
  surround(mask, rounding_i, j, kIMinus | kIPlus | kJPlus);
  surround(mask, rounding_i, j + 1, kIMinus | kIPlus | kJPlus);
  div(rounding_i, j - 1) = 0x1p-22f;
  div(rounding_i, j) = 1.0f;
  p(rounding_i, j + 1) = 0x1p-24f;
  expected(rounding_i, j - 1) = 0x1p-24f;
  expected(rounding_i, j) = -(0.25f + 0x1p-25f);  // positive, obstacle at j+1: reflected

  const FloatGrid result = projectStep2(p, div, mask);
  // Everything else, with div 0 and p 0, stays exactly +0.
  for (int k = 0; k < kDefaultGridCells; ++k) {
    ASSERT_EQ(bitsOf(result.cells[k]), bitsOf(expected.cells[k]))
        << "cell " << k % (kN + 2) << ", " << k / (kN + 2);
  }
}

// Within a block each pass reads the cell at i+1 as the previous pass left it, so a source
// at (N, j) reaches exactly one cell further back per pass: 20 passes, all in one launch.
TEST(ProjectStep2, RunsTwentyPassesAndFillsEdgesAfterEach) {
  const int j = 80;
  FloatGrid div;
  div(kN, j) = 1.0f;
  const FloatGrid p = projectStep2(FloatGrid{}, div, MaskGrid{});
  EXPECT_GT(p(kN - 19, j), 0.0f);
  EXPECT_EQ(bitsOf(p(kN - 20, j)), 0u);
  EXPECT_EQ(bitsOf(p(kLast, j)), bitsOf(p(kN, j)));
}

// Pressure rising by one per cell along an axis gives a gradient of deviceDivide(1, h) on
// that axis and none on the other. Around the obstacle O = (10, 21), step 3 reflects the
// gradient along i by O's neighbours along j, and the gradient along j by those along i.
TEST(ProjectStep3, SubtractsGradientReflectingAcrossAxes) {
  ASSERT_EQ(bitsOf(deviceDivide(1.0f, kH)), bitsOf(kUnitGradient));
  const int oi = 10;
  const int oj = 21;
  MaskGrid mask;
  mask(oi, oj) = 1;

  enum Ramp { kAlongI, kAlongJ };
  struct Case {
    Ramp ramp;
    float slope;
    int i, j;
    float du, dv;  // change of u and v, in units of kUnitGradient
  };
  const Case cases[] = {
      {kAlongI, 1, oi, oj - 1, 1, 0},   // O at j+1, gradient positive: added
      {kAlongI, 1, oi, oj + 1, -1, 0},  // O at j-1, gradient positive: subtracted
      {kAlongI, 1, oi - 1, oj, -1, 0},  // O along i does not reflect the i gradient
      {kAlongI, 1, 70, 70, -1, 0},
      {kAlongI, -1, oi, oj + 1, -1, 0},  // O at j-1, gradient negative: added
      {kAlongI, -1, oi, oj - 1, 1, 0},   // O at j+1, gradient negative: subtracted
      {kAlongJ, 1, oi - 1, oj, 0, 1},    // O at i+1, gradient positive: added
      {kAlongJ, 1, oi + 1, oj, 0, -1},   // O at i-1, gradient positive: subtracted
      {kAlongJ, 1, oi, oj - 1, 0, -1},   // O along j does not reflect the j gradient
      {kAlongJ, -1, oi + 1, oj, 0, -1},  // O at i-1, gradient negative: added
      {kAlongJ, -1, oi - 1, oj, 0, 1},   // O at i+1, gradient negative: subtracted
  };
  const float u0 = 0.5f;
  const float v0 = -0.25f;
  for (Ramp ramp : {kAlongI, kAlongJ}) {
    for (float slope : {1.0f, -1.0f}) {
      SCOPED_TRACE(testing::Message()
                   << (ramp == kAlongI ? "along i" : "along j") << " slope " << slope);
      FloatGrid p;
      for (int j = 0; j <= kLast; ++j) {
        for (int i = 0; i <= kLast; ++i)
          p(i, j) = slope * static_cast<float>(ramp == kAlongI ? i : j);
      }
      const auto [u, v] = projectStep3(filledGrid(u0), filledGrid(v0), p, mask);
      EXPECT_EQ(bitsOf(u(oi, oj)), 0u);
      EXPECT_EQ(bitsOf(v(oi, oj)), 0u);
      // Both components are copied to the edge as they are, sign included.
      EXPECT_EQ(bitsOf(u(kLast, 50)), bitsOf(u(kN, 50)));
      EXPECT_EQ(bitsOf(v(kLast, 50)), bitsOf(v(kN, 50)));
      EXPECT_EQ(bitsOf(v(50, kLast)), bitsOf(v(50, kN)));
      for (const Case& c : cases) {
        if (c.ramp != ramp || c.slope != slope) continue;
        SCOPED_TRACE(testing::Message() << "cell " << c.i << ", " << c.j);
        EXPECT_EQ(u(c.i, c.j), static_cast<float>(u0 + static_cast<double>(c.du) * kUnitGradient));
        EXPECT_EQ(v(c.i, c.j), static_cast<float>(v0 + static_cast<double>(c.dv) * kUnitGradient));
      }
    }
  }
}

}  // namespace
