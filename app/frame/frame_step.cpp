#include "frame_step.h"

#include "field_dump.h"
#include "field_guard.h"
#include "fluid_state.h"

float interior_density_sum() {
  // The order and the float accumulator are part of the reported value: another order or a
  // wider sum gives different bits.
  float total = 0.0f;
  for (int i = fluid.N; i >= 1; --i) {
    for (int j = 1; j <= fluid.N; ++j) total += fluid.dens[IX(i, j)];
  }
  return total;
}

void frame_step(void (*advance_fluid)(), std::FILE* out) {
  if (fluid.run_simulation == 0 && fluid.step_once == 0) return;
  advance_fluid();
  if (field_guard_on()) guard_fields();
  fluid.total_density = interior_density_sum();
  if (fluid.dump_fields != 0) print_dump(out);
  fluid.step_once = 0;
}
