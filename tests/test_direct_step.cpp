// The plain-loop step that the benchmarks measure against must compute the launched step's
// bits, or the comparison means nothing. It is written apart from the kernels, so agreement
// also cross-checks the launch path: buffer roles, thread order, barriers, and on grids other
// than the default every size the launch derives from N.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <memory>

#include "calc_fluid.h"
#include "direct_step.h"
#include "step_scenarios.h"

namespace {

void expectSameBits(const FluidState& a, const FluidState& b, int step) {
  for (const auto& [name, field] : kSteppedFields) {
    ASSERT_EQ((a.*field).size(), (b.*field).size());
    for (std::size_t k = 0; k < (a.*field).size(); ++k) {
      const float x = (a.*field)[k];
      const float y = (b.*field)[k];
      // Which NaN an operation yields (its sign, its payload) depends on operand order, which
      // the compiler may swap in commutative operations; every other value must match exactly.
      if (std::isnan(x) && std::isnan(y)) continue;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(x), std::bit_cast<std::uint32_t>(y))
          << name << " cell " << k << " after step " << step;
    }
  }
}

TEST(DirectStep, MatchesTheLaunchedStepOnTheGoldenScenarioOnEachGrid) {
  for (const int n : {kDefaultGridInterior, 62, 254}) {
    SCOPED_TRACE(n);
    resetFluid(n);
    auto direct = std::make_unique<FluidState>(fluid);
    placeGoldenObstacles(fluid);
    placeGoldenObstacles(*direct);
    for (int step = 0; step < kGoldenSteps; ++step) {
      addGoldenSources(fluid, step);
      addGoldenSources(*direct, step);
      gpuCalcFluid();
      directCalcFluid(*direct);
      expectSameBits(fluid, *direct, step);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(DirectStep, MatchesTheLaunchedStepOnHostileValues) {
  // Edge-cell mask entries, obstacles on the first interior row, non-finite values and huge
  // velocities that send departure points far outside the grid.
  resetFluid();
  for (int j = 0; j < kDefaultGridSide; j += 3) fluid.boundary[IX(0, j)] = 1;
  for (int j = 1; j <= kDefaultGridInterior; j += 5) fluid.boundary[IX(1, j)] = 1;
  fluid.boundary[IX(70, 70)] = 5;
  for (int k = 0; k < kDefaultGridCells; ++k) {
    fluid.u[k] = static_cast<float>((k * 7919) % 201 - 100) * 0.03f;
    fluid.v[k] = static_cast<float>((k * 104729) % 173 - 86) * 0.05f;
    fluid.dens[k] = static_cast<float>(k % 97) * 0.01f;
  }
  fluid.u[IX(10, 10)] = std::numeric_limits<float>::quiet_NaN();
  fluid.v[IX(20, 20)] = std::numeric_limits<float>::infinity();
  fluid.u[IX(30, 30)] = -1e30f;
  fluid.dens_prev[IX(40, 40)] = std::numeric_limits<float>::infinity();
  fluid.u_prev[IX(50, 50)] = 3e38f;
  auto direct = std::make_unique<FluidState>(fluid);
  for (int step = 0; step < 3; ++step) {
    gpuCalcFluid();
    directCalcFluid(*direct);
    expectSameBits(fluid, *direct, step);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
