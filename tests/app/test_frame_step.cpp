#include <cstdio>
#include <cstdlib>
#include <string>

#include "frame_step.h"
#include "fresh_fluid.h"

namespace {

int steps_taken = 0;
void count_step() { ++steps_taken; }

// Captures what a frame step prints.
class FrameStep : public FreshFluid {
 protected:
  void SetUp() override {
    FreshFluid::SetUp();
    steps_taken = 0;
    out_ = open_memstream(&buffer_, &size_);
  }
  void TearDown() override {
    std::fclose(out_);
    std::free(buffer_);
  }
  std::string printed() {
    std::fflush(out_);
    return std::string(buffer_, size_);
  }

  std::FILE* out_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
};

TEST_F(FrameStep, PausedWithoutARequestDoesNothingAtAll) {
  fluid.run_simulation = 0;
  fluid.dump_fields = 1;
  fluid.total_density = 123.0f;
  frame_step(count_step, out_);
  EXPECT_EQ(steps_taken, 0);
  EXPECT_EQ(fluid.total_density, 123.0f);
  EXPECT_EQ(printed(), "");
}

TEST_F(FrameStep, SingleStepWhilePausedRunsOnceAndClearsTheRequest) {
  fluid.run_simulation = 0;
  fluid.step_once = 1;
  frame_step(count_step, out_);
  EXPECT_EQ(steps_taken, 1);
  EXPECT_EQ(fluid.step_once, 0);
  frame_step(count_step, out_);
  EXPECT_EQ(steps_taken, 1);
}

TEST_F(FrameStep, RunningStepsEveryFrameAndClearsAPendingRequest) {
  fluid.step_once = 1;
  frame_step(count_step, out_);
  EXPECT_EQ(fluid.step_once, 0);
  frame_step(count_step, out_);
  EXPECT_EQ(steps_taken, 2);
}

// 2^24 absorbs every 1.0 added after it in float; any other order or a wider sum keeps them.
void big_first_then_ones() {
  for (int i = 0; i < kGridCells; ++i) fluid.dens[i] = 1.0f;
  fluid.dens[IX(126, 1)] = 16777216.0f;
  fluid.dens[IX(0, 5)] = 1000.0f;  // edge cells are not counted
}

// Top row first, left to right: the big pair cancels before any 1.0 arrives.
void cancelling_pair_in_the_top_row() {
  for (int i = 0; i < kGridCells; ++i) fluid.dens[i] = 1.0f;
  fluid.dens[IX(126, 1)] = 16777216.0f;
  fluid.dens[IX(126, 2)] = -16777216.0f;
}

TEST_F(FrameStep, TotalDensitySumsInteriorRowsTopFirstInFloat) {
  frame_step(big_first_then_ones, out_);
  EXPECT_EQ(fluid.total_density, 16777216.0f);
  frame_step(cancelling_pair_in_the_top_row, out_);
  EXPECT_EQ(fluid.total_density, 126.0f * 126.0f - 2.0f);
}

TEST_F(FrameStep, DumpFollowsEveryStepWhileSwitchedOn) {
  fluid.dump_fields = 1;
  frame_step(cancelling_pair_in_the_top_row, out_);
  const std::string first = printed();
  EXPECT_EQ(first.rfind("\n\nDensity Field\n", 0), 0u);
  EXPECT_TRUE(first.ends_with("\n\nTotal Density: 15874.000000\n"));
  frame_step(count_step, out_);
  EXPECT_EQ(printed().size(), 2 * first.size());
}

}  // namespace
