#include <climits>
#include <cmath>
#include <utility>

#include "fresh_fluid.h"
#include "input.h"

namespace {

using Mouse = FreshFluid;

constexpr int kLeft = 0, kRight = 2;
constexpr int kPressed = 0, kReleased = 1;

void right_click(int x, int y) {
  mouse_button_event(kRight, kPressed, x, y);
  mouse_button_event(kRight, kReleased, x, y);
}

// The cell a burst landed in, or (0, 0) if none did.
std::pair<int, int> burst_cell() {
  for (int i = 1; i <= fluid.N; ++i)
    for (int j = 1; j <= fluid.N; ++j)
      if (fluid.dens_prev[IX(i, j)] != 0.0f) return {i, j};
  return {0, 0};
}

TEST_F(Mouse, PointerMapsToCellsBy128WithRowsCountedFromTheBottom) {
  const struct {
    int width, height, x, y, row, column;
  } cases[] = {
      {512, 512, 258, 254, 64, 64},
      {512, 512, 0, 511, 1, 1},       // bottom-left corner: row 0 clamps to 1
      {512, 512, 511, 0, 126, 126},   // top-right corner: 127 and 128 clamp to N
      {512, 512, 40, 468, 11, 10},    // the top pixel row of cell 10 maps to the cell above
      {1000, 300, 500, 150, 64, 64},  // the factor is 128, whatever the cell size
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " at " << c.x << "," << c.y);
    fluid = FluidState{};
    fluid.cell_size = 4.0f;
    fluid.window_width = c.width;
    fluid.window_height = c.height;
    right_click(c.x, c.y);
    EXPECT_EQ(burst_cell(), std::make_pair(c.row, c.column));
  }
}

TEST_F(Mouse, RightClickAssignsOneBurstWithSourcesInTheFourNeighbours) {
  const int i = 64, j = 1;  // the left edge: the left push lands on edge column 0
  fluid.dens_prev[IX(i, j)] = 7.0f;
  fluid.u_prev[IX(i, j + 1)] = 7.0f;
  right_click(0, 254);
  EXPECT_EQ(fluid.dens_prev[IX(i, j)], 126 * 4.0f);
  EXPECT_EQ(fluid.u_prev[IX(i, j - 1)], -4.0f);
  EXPECT_EQ(fluid.u_prev[IX(i, j + 1)], 4.0f);
  EXPECT_EQ(fluid.v_prev[IX(i - 1, j)], -4.0f);
  EXPECT_EQ(fluid.v_prev[IX(i + 1, j)], 4.0f);
  EXPECT_EQ(fluid.u_prev[IX(i, j)], 0.0f);
  EXPECT_EQ(fluid.v_prev[IX(i, j)], 0.0f);
}

TEST_F(Mouse, LeftDragAddsPixelMovementTimesCellSize) {
  mouse_button_event(kLeft, kPressed, 100, 100);
  EXPECT_EQ(fluid.u_prev[IX(103, 25)], 0.0f) << "a press alone adds nothing";
  ASSERT_TRUE(mouse_motion_event(102, 97));  // still cell (103, 25)
  ASSERT_TRUE(mouse_motion_event(101, 98));
  EXPECT_EQ(fluid.u_prev[IX(103, 25)], (2 - 1) * 4.0f);
  EXPECT_EQ(fluid.v_prev[IX(103, 25)], (3 - 1) * 4.0f) << "up the screen is positive";
  EXPECT_EQ(fluid.dens_prev[IX(103, 25)], 0.0f);
}

TEST_F(Mouse, MotionIsIgnoredAfterReleaseAndIsALeftDragWhateverTheButton) {
  mouse_button_event(kRight, kPressed, 100, 100);
  ASSERT_TRUE(mouse_motion_event(112, 100));
  EXPECT_EQ(fluid.u_prev[IX(103, 28)], 12 * 4.0f);

  mouse_button_event(kRight, kReleased, 112, 100);
  const float before = fluid.u_prev[IX(103, 29)];
  EXPECT_FALSE(mouse_motion_event(116, 100));
  EXPECT_EQ(fluid.mouse_x, 112);
  EXPECT_EQ(fluid.u_prev[IX(103, 29)], before);
}

TEST_F(Mouse, ObstaclePaintingFlipsEachCellADragEntersAndEveryPressStartsAfresh) {
  fluid.paint_obstacles = 1;
  const int a = IX(64, 64), b = IX(64, 65);
  mouse_button_event(kLeft, kPressed, 258, 254);  // A
  EXPECT_EQ(fluid.boundary[a], 1);
  mouse_motion_event(257, 253);  // still A
  EXPECT_EQ(fluid.boundary[a], 1);
  mouse_motion_event(262, 254);  // B
  mouse_motion_event(258, 254);  // A again
  EXPECT_EQ(fluid.boundary[a], 0);
  EXPECT_EQ(fluid.boundary[b], 1);
  EXPECT_EQ(fluid.u_prev[a], 0.0f) << "painting adds no momentum";

  mouse_button_event(kLeft, kReleased, 258, 254);
  mouse_motion_event(262, 254);
  EXPECT_EQ(fluid.boundary[b], 1) << "released: the drag is over";
  mouse_button_event(kLeft, kPressed, 262, 254);
  EXPECT_EQ(fluid.boundary[b], 0) << "a press on an obstacle removes it at once";
}

// Collapsed windows and pointers far outside (GLUT reports them during drags) must map to
// interior cells; a bare float-to-int conversion of the infinite or huge fractions would be
// undefined, and a collapsed window puts a pointer past its edge on that edge's side.
TEST_F(Mouse, OddWindowsAndPointersStayInsideTheGrid) {
  const int sizes[][2] = {{0, 0}, {0, 512}, {512, 0}, {1, 1}, {512, 512}};
  const int positions[] = {INT_MIN, -1000000, -1, 0, 511, 512, 1000000, INT_MAX};
  for (const auto& size : sizes) {
    for (const int x : positions) {
      for (const int y : positions) {
        fluid = FluidState{};
        fluid.cell_size = 4.0f;
        fluid.window_width = size[0];
        fluid.window_height = size[1];
        right_click(x, y);
        const auto [i, j] = burst_cell();
        ASSERT_TRUE(i >= 1 && i <= 126 && j >= 1 && j <= 126)
            << size[0] << "x" << size[1] << " at " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(pointer_cell(5, 0, 126), 126);
  EXPECT_EQ(pointer_cell(0, 0, 126), 1);
  EXPECT_EQ(pointer_cell(-5, 0, 126), 1);
}

TEST_F(Mouse, DragAcrossTheWholeIntRangeDoesNotOverflow) {
  mouse_button_event(kLeft, kPressed, INT_MIN, INT_MAX);
  mouse_motion_event(INT_MAX, INT_MIN);
  // The pointer ends far right and far above: cell (N, N).
  const float expected = static_cast<float>(4294967295.0) * 4.0f;
  EXPECT_EQ(fluid.u_prev[IX(126, 126)], expected);
  EXPECT_EQ(fluid.v_prev[IX(126, 126)], expected);
}

}  // namespace
