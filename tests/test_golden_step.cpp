// A fixed scenario of fifty steps whose final fields are pinned by a checksum: any change to
// the kernels, the launch order or the runtime's thread order shows up here.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>

#include "calc_fluid.h"
#include "step_scenarios.h"

namespace {

// FNV-1a over the bits of the six fields the step writes.
std::uint64_t fieldChecksum() {
  std::uint64_t hash = 14695981039346656037ull;
  for (const float* field : {fluid.u, fluid.v, fluid.u_prev, fluid.v_prev, fluid.dens,
                             fluid.dens_prev}) {
    for (int k = 0; k < kGridCells; ++k) {
      std::uint32_t bits = std::bit_cast<std::uint32_t>(field[k]);
      for (int byte = 0; byte < 4; ++byte) {
        hash = (hash ^ ((bits >> (8 * byte)) & 0xFFu)) * 1099511628211ull;
      }
    }
  }
  return hash;
}

void runGoldenScenario() {
  resetFluid();
  placeGoldenObstacles(fluid);
  for (int step = 0; step < kGoldenSteps; ++step) {
    addGoldenSources(fluid, step);
    gpuCalcFluid();
  }
}

TEST(GoldenStep, FiftyStepsOfAFixedScenarioKeepTheirChecksum) {
  runGoldenScenario();
  double total = 0.0;
  for (int i = 1; i <= kGridInterior; ++i) {
    for (int j = 1; j <= kGridInterior; ++j) total += fluid.dens[IX(i, j)];
  }
  EXPECT_GT(total, 1.0) << "the scenario moves density";
  EXPECT_EQ(fieldChecksum(), 0x159b3949a8bdf06eull) << std::hex << "checksum 0x" << fieldChecksum();
}

}  // namespace
