#include "velocity_tip.h"

#include "fluid_state.h"

VelocityTip velocity_tip(int c) {
  return {static_cast<float>(static_cast<double>(fluid.u[c]) * fluid.cell_size * 10.0),
          static_cast<float>(static_cast<double>(fluid.v[c]) * fluid.cell_size * 10.0)};
}
