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

// A ring of obstacles around the centre, bursts inside and outside it, the bottom source fed
// every tenth step, a drag-like push now and then.
void runGoldenScenario() {
  resetFluid();
  for (int i = 44; i <= 84; ++i) {
    for (int j = 44; j <= 84; ++j) {
      const int di = i - 64, dj = j - 64;
      const int r2 = di * di + dj * dj;
      if (r2 >= 16 * 16 && r2 <= 19 * 19 && !(dj > 10 && di > -3 && di < 3)) {
        fluid.boundary[IX(i, j)] = 1;
      }
    }
  }
  for (int step = 0; step < 50; ++step) {
    if (step % 10 == 0) bottomSource();
    if (step == 0) rightClickBurst(64, 64);
    if (step == 5) rightClickBurst(20, 100);
    if (step == 12) rightClickBurst(100, 30);
    if (step == 20) fluid.u_prev[IX(30, 40)] += 12.0f;
    if (step == 33) rightClickBurst(66, 70);
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
  EXPECT_EQ(fieldChecksum(), 0x0ull) << std::hex << "checksum 0x" << fieldChecksum();
}

}  // namespace
