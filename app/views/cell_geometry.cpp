#include "cell_geometry.h"

#include "fluid_state.h"

float cell_size_for_width(int width, int n) { return static_cast<float>(width / n); }

void record_window_size(int width, int height) {
  fluid.window_width = width;
  fluid.window_height = height;
  fluid.cell_size = cell_size_for_width(fluid.window_width, fluid.N);
}

float cell_centre(int index, float cell_size) {
  return static_cast<float>(index * static_cast<double>(cell_size) + cell_size / 2.0);
}
