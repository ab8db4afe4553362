// The one process-wide record of the simulation: grid size, solver parameters, host fields,
// view and mode flags and mouse bookkeeping. Everything else reads and writes it directly.
#pragma once

#include <cstdint>

// The grid is fixed: 126 x 126 interior cells inside a one-cell edge ring.
inline constexpr int kGridInterior = 126;
inline constexpr int kGridSide = kGridInterior + 2;
// Every field holds exactly this many cells; the kernels' launch covers the same count.
inline constexpr int kGridCells = kGridSide * kGridSide;

// Flat index of cell (i, j): i (row, upwards on screen) varies fastest, j is the column.
constexpr int IX(int i, int j) { return i + kGridSide * j; }

struct FluidState {
  int window_width = 512;
  int window_height = 512;
  float diff = 0.5f;
  float dt = 0.2f;
  float visc = 0.0f;
  int N = kGridInterior;
  int source_column = 64;
  int redraw_rate = 60;

  int run_simulation = 1;
  int step_once = 0;
  int dump_fields = 0;
  int show_obstacles = 1;
  int show_density = 1;
  int show_velocity = 0;
  int show_grid = 0;
  int paint_obstacles = 0;

  float cell_size = 0.0f;         // set when the cell display list is built
  unsigned int cell_list = 0;     // display-list name of the cell quad
  float total_density = 0.0f;

  int mouse_state = 0;            // 0 pressed, 1 released
  int mouse_prev_x = 0;
  int mouse_prev_y = 0;
  int mouse_x = 0;
  int mouse_y = 0;
  int last_obstacle_row = 0;
  int last_obstacle_column = 0;

  float u[kGridCells] = {};
  float v[kGridCells] = {};
  float u_prev[kGridCells] = {};
  float v_prev[kGridCells] = {};
  float dens[kGridCells] = {};
  float dens_prev[kGridCells] = {};
  std::int32_t boundary[kGridCells] = {};  // 1 marks an obstacle cell
};

extern FluidState fluid;

// Clears the seven fields; parameters, flags and mouse state stay as they are.
void reset_fields();
