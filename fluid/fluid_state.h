// The one process-wide record of the simulation: grid size, solver parameters, host fields,
// view and mode flags and mouse bookkeeping. Everything else reads and writes it directly.
#pragma once

#include <cstdint>
#include <vector>

// The grid at start unless the session chooses another: 126 x 126 interior cells inside a
// one-cell edge ring.
inline constexpr int kDefaultGridInterior = 126;
inline constexpr int kDefaultGridSide = kDefaultGridInterior + 2;
inline constexpr int kDefaultGridCells = kDefaultGridSide * kDefaultGridSide;

// The physics at start unless the session chooses other values.
inline constexpr float kDefaultDt = 0.2f;
inline constexpr float kDefaultDiff = 0.5f;
inline constexpr float kDefaultVisc = 0.0f;

struct FluidState {
  int window_width = 512;
  int window_height = 512;
  float diff = kDefaultDiff;
  float dt = kDefaultDt;
  float visc = kDefaultVisc;
  int N = kDefaultGridInterior;
  int source_column = kDefaultGridSide / 2;
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

  // (N+2)^2 cells each, sized when the grid is chosen and never again: a step allocates nothing.
  std::vector<float> u = std::vector<float>(kDefaultGridCells);
  std::vector<float> v = std::vector<float>(kDefaultGridCells);
  std::vector<float> u_prev = std::vector<float>(kDefaultGridCells);
  std::vector<float> v_prev = std::vector<float>(kDefaultGridCells);
  std::vector<float> dens = std::vector<float>(kDefaultGridCells);
  std::vector<float> dens_prev = std::vector<float>(kDefaultGridCells);
  // 1 marks an obstacle cell.
  std::vector<std::int32_t> boundary = std::vector<std::int32_t>(kDefaultGridCells);
};

extern FluidState fluid;

// Flat index of cell (i, j) of `fluid`: i (row, upwards on screen) varies fastest, j is the
// column.
inline int IX(int i, int j) { return i + (fluid.N + 2) * j; }

// Cells per field on a grid of n interior cells a side, edge ring included.
inline int grid_cells(int n) { return (n + 2) * (n + 2); }

// Gives `state` a grid of n interior cells a side: every field (n+2)^2 cells of zero, and the
// column that 'f' feeds in the middle. Called once, before the session starts.
void set_grid(FluidState& state, int n);

// Clears the seven fields; parameters, flags and mouse state stay as they are.
void reset_fields();
