#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "field_guard.h"
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
  for (int i = 0; i < kDefaultGridCells; ++i) fluid.dens[i] = 1.0f;
  fluid.dens[IX(126, 1)] = 16777216.0f;
  fluid.dens[IX(0, 5)] = 1000.0f;  // edge cells are not counted
}

// Top row first, left to right: the big pair cancels before any 1.0 arrives.
void cancelling_pair_in_the_top_row() {
  for (int i = 0; i < kDefaultGridCells; ++i) fluid.dens[i] = 1.0f;
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

// A step that leaves one non-finite value (or none) in one field, after some density.
std::vector<float> FluidState::*poisoned_field = nullptr;
float poison = 0.0f;
void step_leaving_poison() {
  fluid.dens[IX(10, 10)] = 5.0f;
  fluid.boundary[IX(3, 3)] = 1;
  if (poisoned_field != nullptr) (fluid.*poisoned_field)[IX(64, 0)] = poison;
}

TEST_F(FrameStep, GuardResetsFieldsAfterANonFiniteStepAndSaysSoOnce) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Row {
    std::vector<float> FluidState::*field;
    float value;
    bool guard;
    bool reset;
  };
  const Row rows[] = {
      {&FluidState::u, nan, true, true},        {&FluidState::v, -inf, true, true},
      {&FluidState::u_prev, inf, true, true},   {&FluidState::v_prev, nan, true, true},
      {&FluidState::dens, inf, true, true},     {&FluidState::dens_prev, nan, true, true},
      {nullptr, 0.0f, true, false},             {&FluidState::dens, nan, false, false},
      {&FluidState::dens, std::numeric_limits<float>::max(), true, false},
  };
  int index = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(index++);
    fluid = FluidState{};
    poisoned_field = row.field;
    poison = row.value;
    set_field_guard(row.guard);
    testing::internal::CaptureStderr();
    frame_step(step_leaving_poison, out_);
    const std::string err = testing::internal::GetCapturedStderr();
    set_field_guard(false);
    EXPECT_EQ(fields_finite(), row.guard || row.field == nullptr || std::isfinite(row.value));
    EXPECT_EQ(fluid.dens[IX(10, 10)], row.reset ? 0.0f : 5.0f);
    EXPECT_EQ(fluid.boundary[IX(3, 3)], row.reset ? 0 : 1) << "as 'r' does";
    EXPECT_EQ(err, row.reset ? "velmar_stable_fluids: the step left a non-finite value in the "
                               "fields; they were reset\n"
                             : "");
  }
  EXPECT_EQ(printed(), "");
}

}  // namespace
