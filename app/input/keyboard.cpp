#include <cstdlib>

#include "fluid_state.h"
#include "input.h"

namespace {

void toggle(int& flag) { flag = flag == 0 ? 1 : 0; }

}  // namespace

void apply_key(unsigned char key) {
  switch (key) {
    case 27:
      std::exit(0);
    case ' ':
      fluid.step_once = 1;
      break;
    case 'B':
      toggle(fluid.paint_obstacles);
      break;
    case 'b':
      toggle(fluid.show_obstacles);
      break;
    case 'c':
      toggle(fluid.dump_fields);
      break;
    case 'd':
      toggle(fluid.show_density);
      break;
    case 'f': {
      // Assigned, not added: pressing 'f' twice before a step feeds the same source.
      const int source = IX(1, fluid.source_column);
      fluid.dens_prev[source] = static_cast<float>(fluid.N) * fluid.cell_size;
      fluid.v_prev[source] = fluid.cell_size;
      break;
    }
    case 'g':
      toggle(fluid.show_grid);
      break;
    case 'r':
      reset_fields();
      break;
    case 's':
      toggle(fluid.run_simulation);
      break;
    case 'v':
      toggle(fluid.show_velocity);
      break;
    default:
      break;
  }
}
