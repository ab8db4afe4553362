// The step gives the same bits whatever the number of worker threads: random fields, sources
// and obstacles, stepped with 1, 2 and 4 workers from the same state, compared after each step.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "calc_fluid.h"
#include "parallel_launch.h"
#include "runtime_testing.h"
#include "step_scenarios.h"

namespace {

class Workers {
 public:
  explicit Workers(unsigned count) { runtime_parallel::setWorkers(count); }
  ~Workers() { runtime_parallel::setWorkers(runtime_parallel::defaultWorkers()); }
};

// Velocities and densities of every sign and size a session reaches, sources in a few
// cells, and obstacles painted and erased at random, as a user would.
void stirAtRandom(std::mt19937& random, FluidState& s, bool fillEverything) {
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  std::uniform_int_distribution<int> cell(0, kGridCells - 1);
  if (fillEverything) {
    for (float* field : {s.u, s.v, s.u_prev, s.v_prev, s.dens, s.dens_prev}) {
      for (int k = 0; k < kGridCells; ++k) field[k] = value(random);
    }
  }
  for (int n = 0; n < 20; ++n) {
    s.dens_prev[cell(random)] += 100.0f * value(random);
    s.u_prev[cell(random)] += value(random);
    s.v_prev[cell(random)] += value(random);
    s.boundary[cell(random)] ^= 1;
  }
}

bool sameBits(const FluidState& a, const FluidState& b) {
  return std::memcmp(a.u, b.u, sizeof a.u) == 0 && std::memcmp(a.v, b.v, sizeof a.v) == 0 &&
         std::memcmp(a.u_prev, b.u_prev, sizeof a.u_prev) == 0 &&
         std::memcmp(a.v_prev, b.v_prev, sizeof a.v_prev) == 0 &&
         std::memcmp(a.dens, b.dens, sizeof a.dens) == 0 &&
         std::memcmp(a.dens_prev, b.dens_prev, sizeof a.dens_prev) == 0 &&
         std::memcmp(a.boundary, b.boundary, sizeof a.boundary) == 0;
}

// Tiles sized by the work, where the runtime may also keep a launch on one thread, and tiles
// of a fixed height, every launch shared: one line (the most hand-offs) and five (rows that cut
// the grid unevenly).
TEST(ParallelStep, EveryWorkerCountGivesTheReferenceBitsAfterEveryStep) {
  constexpr unsigned kCounts[] = {2, 4};
  constexpr struct {
    unsigned seed;
    std::uint32_t tileLines;  // 0: sized by the work
  } kRuns[] = {{1, 0}, {2, 1}, {3, 5}};
  auto before = std::make_unique<FluidState>();
  auto reference = std::make_unique<FluidState>();
  for (const auto& [seed, tileLines] : kRuns) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << ", tiles of " << tileLines << " lines");
    runtime_testing::setTileLines(tileLines);
    const std::uint64_t sharedBefore = runtime_testing::workerWaits().launches;
    std::uint64_t attempted = 0;
    std::mt19937 random(seed);
    resetFluid();
    stirAtRandom(random, fluid, true);
    for (int step = 0; step < 25; ++step) {
      if (step % 5 == 0) stirAtRandom(random, fluid, false);
      *before = fluid;
      {
        const Workers one(1);
        gpuCalcFluid();
      }
      *reference = fluid;
      for (unsigned count : kCounts) {
        fluid = *before;
        const Workers workers(count);
        gpuCalcFluid();
        attempted += 15;
        ASSERT_TRUE(sameBits(fluid, *reference)) << count << " workers, step " << step;
      }
    }
    if (tileLines != 0) {
      EXPECT_EQ(runtime_testing::workerWaits().launches - sharedBefore, attempted);
    }
  }
  runtime_testing::setTileLines(0);
}

}  // namespace
