// The two edge fills, seen through real launches. Advection with zero velocity gives every
// cell off the edge d0 of its own cell, so the edge cells show exactly what the fill did;
// projection step 1 shows the fill that follows a block barrier.
#include <gtest/gtest.h>

#include <limits>

#include "device_grid.h"

namespace {

constexpr int kLast = kN + 1;

// Distinct exact values: what d0 holds, and what d held before the launch.
AdvectFields zeroVelocityFields() {
  AdvectFields f;
  for (int j = 0; j <= kLast; ++j) {
    for (int i = 0; i <= kLast; ++i) {
      f.d0(i, j) = static_cast<float>(1 + IX(i, j));
      f.before(i, j) = -static_cast<float>(1 + IX(i, j));
    }
  }
  return f;
}

MaskGrid edgeMask() {
  MaskGrid mask;
  for (int k = 0; k <= kLast; ++k) {
    mask(0, k) = mask(kLast, k) = mask(k, 0) = mask(k, kLast) = 1;
  }
  return mask;
}

// Threads run in increasing t, each to its end. A cell on the edge i == 0 or j == 0 therefore
// copies its inward neighbour before that neighbour's thread has run, and sees the value d
// held before the launch; the edges i == N+1 and j == N+1 copy finished cells.
TEST(EdgeFill, CopyVariantTakesNeighboursAsTheyStandWhenRead) {
  AdvectFields f = zeroVelocityFields();
  // Their mean overflows unless the sum is formed in double.
  f.before(1, 0) = std::numeric_limits<float>::max();
  f.before(0, 1) = std::numeric_limits<float>::max() / 2;

  // A mask entry on an edge cell must not make it an obstacle.
  for (const MaskGrid& mask : {MaskGrid{}, edgeMask()}) {
    f.mask = mask;
    const FloatGrid d = advectOnce(0, f, 0.2f);
    for (int k = 1; k <= kN; ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(bitsOf(d(0, k)), bitsOf(f.before(1, k)));
      EXPECT_EQ(bitsOf(d(kLast, k)), bitsOf(f.d0(kN, k)));
      EXPECT_EQ(bitsOf(d(k, 0)), bitsOf(f.before(k, 1)));
      EXPECT_EQ(bitsOf(d(k, kLast)), bitsOf(f.d0(k, kN)));
    }
    // Corners: the mean of the two edge neighbours, each as it stands when the corner's thread
    // reads it, formed in double and rounded once.
    EXPECT_EQ(d(0, 0), 0.75f * std::numeric_limits<float>::max());
    // (N, 0) has been filled from the stale (N, 1); (N+1, 1) has not run yet.
    EXPECT_EQ(d(kLast, 0), static_cast<float>(
                               0.5 * (static_cast<double>(f.before(kN, 1)) + f.before(kLast, 1))));
    // (0, N) has been filled from the stale (1, N); (1, N+1) has not run yet.
    EXPECT_EQ(d(0, kLast), static_cast<float>(
                               0.5 * (static_cast<double>(f.before(1, kLast)) + f.before(1, kN))));
    EXPECT_EQ(d(kLast, kLast), f.d0(kN, kN));
  }
}

TEST(EdgeFill, ZeroVariantClearsEveryEdgeCellAndNothingElse) {
  const AdvectFields f = zeroVelocityFields();
  for (int b : {1, 2, 3, -1}) {
    SCOPED_TRACE(b);
    const FloatGrid d = advectOnce(b, f, 0.2f);
    for (int j = 0; j <= kLast; ++j) {
      for (int i = 0; i <= kLast; ++i) {
        const bool edge = i == 0 || i == kLast || j == 0 || j == kLast;
        ASSERT_EQ(bitsOf(d(i, j)), edge ? 0u : bitsOf(f.d0(i, j))) << i << ", " << j;
      }
    }
  }
}

// Projection fills after its block barrier: a block's own updates are final by then, rows
// of later blocks still hold what they held before the launch, and a corner reads a
// neighbour of its own block that is cleared but not yet filled.
TEST(EdgeFill, FillAfterBarrierSeesOwnBlockUpdatedAndLaterBlocksStale) {
  constexpr float kStale = 9.0f;
  constexpr float kNegZero = -0.0f;
  DeviceFloats u(FloatGrid{}), v(FloatGrid{}), p(filledGrid(kStale)), div(filledGrid(kStale));
  DeviceMask mask(MaskGrid{});
  configureGridLaunch();
  gpuLaunchProjectStep1(kN, u.get(), v.get(), p.get(), div.get(), mask.get());

  struct Expected {
    const char* name;
    FloatGrid grid;
    float interior;  // zero velocity: div is h * -0.5 * 0 = -0.0, p is cleared
  };
  const Expected fields[] = {{"div", div.download(), kNegZero}, {"p", p.download(), 0.0f}};
  for (const Expected& f : fields) {
    SCOPED_TRACE(f.name);
    const FloatGrid& x = f.grid;
    for (int k = 1; k <= kN; ++k) {
      SCOPED_TRACE(k);
      EXPECT_EQ(bitsOf(x(0, k)), bitsOf(f.interior));
      EXPECT_EQ(bitsOf(x(kLast, k)), bitsOf(f.interior));
      EXPECT_EQ(bitsOf(x(k, 0)), bitsOf(kStale));
      EXPECT_EQ(bitsOf(x(k, kLast)), bitsOf(f.interior));
    }
    // (1, 0) cleared, not yet filled; (0, 1) stale.
    EXPECT_EQ(x(0, 0), 0.5f * kStale);
    // (N, 0) already filled from the stale (N, 1); (N+1, 1) stale.
    EXPECT_EQ(x(kLast, 0), kStale);
    // (1, N+1) cleared, not yet filled; (0, N) filled: +0 + -0 is +0.
    EXPECT_EQ(bitsOf(x(0, kLast)), 0u);
    EXPECT_EQ(bitsOf(x(kLast, kLast)), bitsOf(f.interior));
  }
}

}  // namespace
