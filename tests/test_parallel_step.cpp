// The step gives the same bits whatever the number of worker threads: random fields, sources
// and obstacles, stepped with one worker and with several from the same state, compared after
// each step, on the default grid (4 blocks a line) and on a finer one (8 blocks a line, so
// that 8 workers all take part).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "calc_fluid.h"
#include "parallel_launch.h"
#include "runtime_testing.h"
#include "step_scenarios.h"
#include "step_settings.h"

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
  std::uniform_int_distribution<int> cell(0, grid_cells(s.N) - 1);
  if (fillEverything) {
    for (const auto& named : kSteppedFields) {
      for (float& x : s.*named.field) x = value(random);
    }
  }
  for (int n = 0; n < 20; ++n) {
    s.dens_prev[cell(random)] += 100.0f * value(random);
    s.u_prev[cell(random)] += value(random);
    s.v_prev[cell(random)] += value(random);
    s.boundary[cell(random)] ^= 1;
  }
}

template <typename Cell>
bool sameBits(const std::vector<Cell>& a, const std::vector<Cell>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Cell)) == 0;
}

bool sameBits(const FluidState& a, const FluidState& b) {
  for (const auto& named : kSteppedFields) {
    if (!sameBits(a.*named.field, b.*named.field)) return false;
  }
  return sameBits(a.boundary, b.boundary);
}

// Tiles sized by the work, where the runtime may also keep a launch on one thread, and tiles
// of a fixed height, every launch shared: one line (the most hand-offs) and five (rows that cut
// the grid unevenly); on the default grid and on a finer one, whose lines hold 8 blocks.
TEST(ParallelStep, EveryWorkerCountGivesTheReferenceBitsAfterEveryStep) {
  const struct {
    int n;
    std::vector<unsigned> counts;
    unsigned seed;
    std::uint32_t tileLines;  // 0: sized by the work
    int steps;
  } cases[] = {
      {kDefaultGridInterior, {2, 4}, 1, 0, 25},
      {kDefaultGridInterior, {2, 4}, 2, 1, 25},
      {kDefaultGridInterior, {2, 4}, 3, 5, 25},
      {254, {2, 4, 8}, 4, 0, 10},
  };
  auto before = std::make_unique<FluidState>();
  auto reference = std::make_unique<FluidState>();
  for (const auto& [n, counts, seed, tileLines, steps] : cases) {
    SCOPED_TRACE(testing::Message() << "n " << n << ", seed " << seed << ", tiles of "
                                    << tileLines << " lines");
    runtime_testing::setTileLines(tileLines);
    const std::uint64_t sharedBefore = runtime_testing::workerWaits().launches;
    std::uint64_t attempted = 0;
    std::mt19937 random(seed);
    resetFluid(n);
    stirAtRandom(random, fluid, true);
    for (int step = 0; step < steps; ++step) {
      if (step % 5 == 0) stirAtRandom(random, fluid, false);
      *before = fluid;
      {
        const Workers one(1);
        gpuCalcFluid();
      }
      *reference = fluid;
      for (const unsigned count : counts) {
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

// Workers share a launch line by line, so the default takes no more of them than a line has
// blocks of 32 cells: 4 on the default grid, as before, 8 at N = 254, 32 at N = 1022.
TEST(StepWorkers, TheDefaultIsOnePerCoreUpToTheBlocksOfALine) {
  const struct {
    int n;
    unsigned cores, workers;
  } cases[] = {{126, 2, 2},   {126, 16, 4},  {126, 0, 1},  {30, 16, 1},
               {254, 16, 8},  {254, 6, 6},   {510, 64, 16}, {1022, 64, 32}};
  for (const auto& [n, cores, workers] : cases) {
    EXPECT_EQ(defaultStepWorkers(n, cores), workers) << n << " on " << cores << " cores";
  }
}

}  // namespace
