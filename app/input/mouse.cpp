#include <cstdint>

#include "fluid_state.h"
#include "input.h"

namespace {

void shift_pointer_position(int x, int y) {
  fluid.mouse_prev_x = fluid.mouse_x;
  fluid.mouse_prev_y = fluid.mouse_y;
  fluid.mouse_x = x;
  fluid.mouse_y = y;
}

// Right button: a burst of density with outward velocity sources in the four neighbours.
void drop_density_burst(int i, int j) {
  const float s = fluid.cell_size;
  fluid.dens_prev[IX(i, j)] = static_cast<float>(fluid.N) * s;
  fluid.u_prev[IX(i, j - 1)] = -s;
  fluid.u_prev[IX(i, j + 1)] = s;
  fluid.v_prev[IX(i - 1, j)] = -s;
  fluid.v_prev[IX(i + 1, j)] = s;
}

// Left drag: the pointer's movement since the previous event becomes momentum. Differences are
// taken in 64 bits: GLUT reports drags far outside the window, and int subtraction could overflow.
void add_drag_momentum(int i, int j) {
  const std::int64_t dx = std::int64_t{fluid.mouse_x} - fluid.mouse_prev_x;
  const std::int64_t dy = std::int64_t{fluid.mouse_prev_y} - fluid.mouse_y;  // window y grows down
  fluid.u_prev[IX(i, j)] += static_cast<float>(dx) * fluid.cell_size;
  fluid.v_prev[IX(i, j)] += static_cast<float>(dy) * fluid.cell_size;
}

// Flips each cell a drag enters once; staying inside the last flipped cell does nothing.
void paint_obstacle(int i, int j) {
  if (fluid.last_obstacle_row == i && fluid.last_obstacle_column == j) return;
  int& cell = fluid.boundary[IX(i, j)];
  cell = cell == 0 ? 1 : 0;
  fluid.last_obstacle_row = i;
  fluid.last_obstacle_column = j;
}

}  // namespace

int pointer_cell(double offset, int extent, int n) {
  // A collapsed window has no pixels: every pointer lies past one edge or the other.
  if (extent <= 0) return offset > 0 ? n : 1;
  // The factor is the grid's side, edge cells included (128 on the default grid), not n.
  const float scaled = static_cast<float>(offset / extent) * static_cast<float>(n + 2);
  // Clamped in floating point before the conversion, which would be undefined out of int range;
  // for in-range values this equals truncating first and clamping after.
  if (!(scaled >= 1.0f)) return 1;
  if (scaled >= static_cast<float>(n)) return n;
  return static_cast<int>(scaled);
}

void apply_mouse(int button, int is_motion) {
  const int j = pointer_cell(fluid.mouse_x, fluid.window_width, fluid.N);
  // In double the subtraction is exact for every pair of ints.
  const int i = pointer_cell(static_cast<double>(fluid.window_height) - fluid.mouse_y,
                             fluid.window_height, fluid.N);
  const bool held = fluid.mouse_state == 0;
  if (button == 2) {
    drop_density_burst(i, j);
  } else if (button == 0 && held && fluid.paint_obstacles != 0) {
    paint_obstacle(i, j);
  } else if (button == 0 && held && is_motion != 0) {
    add_drag_momentum(i, j);
  }
}

void mouse_button_event(int button, int state, int x, int y) {
  fluid.mouse_state = state;
  if (state == 0) {
    fluid.last_obstacle_column = -1;
    fluid.last_obstacle_row = -1;
  }
  shift_pointer_position(x, y);
  apply_mouse(button, 0);
}

bool mouse_motion_event(int x, int y) {
  if (fluid.mouse_state != 0) return false;
  shift_pointer_position(x, y);
  // GLUT's motion comes with any button held; it always counts as a left drag.
  apply_mouse(0, 1);
  return true;
}
