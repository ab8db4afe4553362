#include <cstring>

#include "fresh_fluid.h"
#include "input_route.h"

namespace {

using InputRoute = FreshFluid;

InputEvent key(std::int64_t frame, unsigned char code) {
  return {.frame = frame, .kind = InputKind::Key, .key = code};
}

// Each replayed event is handled before the first frame after as many frames as it was
// stamped with, and live input waits until the replay is over.
TEST_F(InputRoute, ReplayHandsEachEventOverAfterItsFrameAndHoldsLiveInputBack) {
  start_replay({key(0, 'g'), key(2, 'v'), key(2, 'd'),
                {.frame = 3, .kind = InputKind::Reshape, .width = 300, .height = 200}});
  const std::int64_t start = frames_drawn();
  ASSERT_EQ(start, 0) << "the frame count starts at zero in this test binary";

  deliver_replayed_events();
  EXPECT_EQ(fluid.show_grid, 1);
  EXPECT_EQ(fluid.show_velocity, 0);
  EXPECT_FALSE(handle_live_input(key(0, 'b'))) << "live keys are ignored during a replay";
  EXPECT_TRUE(handle_live_input({.kind = InputKind::Reshape, .width = 512, .height = 512}))
      << "the window reporting the size it already has";
  EXPECT_FALSE(handle_live_input({.kind = InputKind::Reshape, .width = 640, .height = 480}));
  EXPECT_EQ(fluid.show_obstacles, 1);

  count_drawn_frame();
  deliver_replayed_events();
  EXPECT_EQ(fluid.show_velocity, 0) << "frame 2's events wait for two frames";
  count_drawn_frame();
  deliver_replayed_events();
  EXPECT_EQ(fluid.show_velocity, 1);
  EXPECT_EQ(fluid.show_density, 0);
  EXPECT_TRUE(replay_running());

  count_drawn_frame();
  deliver_replayed_events();
  EXPECT_EQ(fluid.window_width, 300);
  EXPECT_EQ(fluid.cell_size, 2.0f) << "a replayed reshape sets the size as the handler does";
  EXPECT_FALSE(replay_running());
  EXPECT_TRUE(handle_live_input(key(0, 'b')));
  EXPECT_EQ(fluid.show_obstacles, 0) << "live input again once the replay is over";
}

TEST_F(InputRoute, EscapeGetsThroughDuringAReplay) {
  start_replay({key(1000, 'g')});
  EXPECT_EXIT(handle_live_input(key(0, 27)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
