#include "fluid_state.h"

#include <algorithm>

FluidState fluid;

void reset_fields() {
  for (float* field : {fluid.u, fluid.v, fluid.u_prev, fluid.v_prev, fluid.dens, fluid.dens_prev}) {
    std::fill_n(field, kGridCells, 0.0f);
  }
  std::fill_n(fluid.boundary, kGridCells, 0);
}
