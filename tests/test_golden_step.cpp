// A fixed scenario of fifty steps whose final fields are pinned by a checksum on the default
// grid and on a coarser and a finer one: any change to the kernels, the launch order, the
// runtime's thread order or what the launch derives from N shows up here. The plain-loop step
// computes the same bits on each grid (test_direct_step.cpp), which is what vouches for the
// checksums of the other grids.
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
  for (const auto& named : kSteppedFields) {
    for (const float value : fluid.*named.field) {
      const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
      for (int byte = 0; byte < 4; ++byte) {
        hash = (hash ^ ((bits >> (8 * byte)) & 0xFFu)) * 1099511628211ull;
      }
    }
  }
  return hash;
}

void runGoldenScenario(int n) {
  resetFluid(n);
  placeGoldenObstacles(fluid);
  for (int step = 0; step < kGoldenSteps; ++step) {
    addGoldenSources(fluid, step);
    gpuCalcFluid();
  }
}

TEST(GoldenStep, FiftyStepsOfAFixedScenarioKeepTheirChecksumOnEachGrid) {
  const struct {
    int n;
    std::uint64_t checksum;
  } cases[] = {
      {kDefaultGridInterior, 0x159b3949a8bdf06eull},
      {62, 0xf9c03909ab10befdull},
      {254, 0x429cc37805a6b5d8ull},
  };
  for (const auto& [n, checksum] : cases) {
    SCOPED_TRACE(n);
    runGoldenScenario(n);
    double total = 0.0;
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) total += fluid.dens[IX(i, j)];
    }
    EXPECT_GT(total, 1.0) << "the scenario moves density";
    EXPECT_EQ(fieldChecksum(), checksum) << std::hex << "checksum 0x" << fieldChecksum();
  }
}

}  // namespace
