#include "fluid_state.h"

#include <algorithm>

FluidState fluid;

void set_grid(FluidState& state, int n) {
  const auto cells = static_cast<std::size_t>(grid_cells(n));
  for (std::vector<float>* field : {&state.u, &state.v, &state.u_prev, &state.v_prev,
                                    &state.dens, &state.dens_prev}) {
    field->assign(cells, 0.0f);
  }
  state.boundary.assign(cells, 0);
  state.N = n;
  state.source_column = (n + 2) / 2;
}

void reset_fields() {
  for (std::vector<float>* field : {&fluid.u, &fluid.v, &fluid.u_prev, &fluid.v_prev,
                                    &fluid.dens, &fluid.dens_prev}) {
    std::fill(field->begin(), field->end(), 0.0f);
  }
  std::fill(fluid.boundary.begin(), fluid.boundary.end(), 0);
}
