#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fresh_fluid.h"
#include "input.h"

namespace {

using Keyboard = FreshFluid;

struct Flags {
  int run_simulation, step_once, dump_fields, show_obstacles, show_density, show_velocity,
      show_grid, paint_obstacles;
  bool operator==(const Flags&) const = default;
};

Flags flags() {
  return {fluid.run_simulation, fluid.step_once,     fluid.dump_fields, fluid.show_obstacles,
          fluid.show_density,   fluid.show_velocity, fluid.show_grid,   fluid.paint_obstacles};
}

bool fields_equal(const FluidState& a, const FluidState& b) {
  const auto same = [](const auto& x, const auto& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof x[0]) == 0;
  };
  return same(a.u, b.u) && same(a.v, b.v) && same(a.u_prev, b.u_prev) && same(a.v_prev, b.v_prev) &&
         same(a.dens, b.dens) && same(a.dens_prev, b.dens_prev) && same(a.boundary, b.boundary);
}

TEST_F(Keyboard, EachToggleKeyFlipsOnlyItsOwnFlag) {
  const struct {
    unsigned char key;
    int Flags::*flag;
  } table[] = {{'B', &Flags::paint_obstacles}, {'b', &Flags::show_obstacles},
               {'c', &Flags::dump_fields},     {'d', &Flags::show_density},
               {'g', &Flags::show_grid},       {'s', &Flags::run_simulation},
               {'v', &Flags::show_velocity}};
  for (const auto& [key, flag] : table) {
    SCOPED_TRACE(std::string("key ") + static_cast<char>(key));
    const Flags before = flags();
    Flags expected = before;
    expected.*flag = 1 - before.*flag;
    apply_key(key);
    EXPECT_EQ(flags(), expected);
    apply_key(key);
    EXPECT_EQ(flags(), before);
  }
}

TEST_F(Keyboard, SpaceRequestsOneStepEvenWhenPressedTwice) {
  apply_key(' ');
  apply_key(' ');
  EXPECT_EQ(fluid.step_once, 1);
}

TEST_F(Keyboard, FeedKeyAssignsTheBottomSourceSoRepeatsDoNotAccumulate) {
  const int source = IX(1, 64);
  fluid.dens_prev[source] = 1000.0f;
  apply_key('f');
  apply_key('f');
  EXPECT_EQ(fluid.dens_prev[source], 126 * 4.0f);
  EXPECT_EQ(fluid.v_prev[source], 4.0f);
  EXPECT_EQ(fluid.u_prev[source], 0.0f);
}

TEST_F(Keyboard, ResetClearsEveryFieldButKeepsTheViews) {
  fluid.dens[IX(5, 6)] = 1.0f;
  fluid.u_prev[IX(7, 8)] = 2.0f;
  fluid.boundary[IX(9, 10)] = 1;
  fluid.show_density = 0;
  fluid.run_simulation = 0;
  const Flags before = flags();
  apply_key('r');
  EXPECT_TRUE(fields_equal(fluid, FluidState{}));
  EXPECT_EQ(flags(), before);
}

TEST_F(Keyboard, UnboundKeysChangeNothing) {
  const std::string bound = "\x1b Bbcdfgrsv";
  fluid.dens_prev[IX(3, 3)] = 1.0f;
  fluid.boundary[IX(4, 4)] = 1;
  const FluidState before = fluid;
  const Flags initial = flags();
  for (int code = 0; code < 256; ++code) {
    if (bound.find(static_cast<char>(code)) != std::string::npos) continue;
    apply_key(static_cast<unsigned char>(code));
    ASSERT_EQ(flags(), initial) << "key " << code;  // case-sensitive: 'S', 'F' and the like too
    ASSERT_TRUE(fields_equal(fluid, before)) << "key " << code;
  }
}

TEST(KeyboardDeathTest, EscapeExitsWithStatusZeroRunningAtExitRoutines) {
  EXPECT_EXIT(
      {
        std::atexit([] { std::fputs("at-exit routine ran", stderr); });
        apply_key(27);
        std::fputs("returned", stderr);
      },
      ::testing::ExitedWithCode(0), "^at-exit routine ran$");
}

}  // namespace
