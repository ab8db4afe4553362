#include <gtest/gtest.h>

#include <cstdio>

#include "calc_fluid.h"
#include "fluid_state.h"

TEST(StepDriver, Smoke) {
  reset_fields();
  fluid.dens_prev[IX(64, 64)] = 126 * 4.0f;
  fluid.u_prev[IX(64, 63)] = -4.0f;
  fluid.u_prev[IX(64, 65)] = 4.0f;
  fluid.v_prev[IX(63, 64)] = -4.0f;
  fluid.v_prev[IX(65, 64)] = 4.0f;
  for (int k = 0; k < 5; ++k) gpuCalcFluid();
  double total = 0;
  for (int i = 1; i <= 126; ++i)
    for (int j = 1; j <= 126; ++j) total += fluid.dens[IX(i, j)];
  std::printf("total %.9g dens(64,64)=%.9g u=%.9g v=%.9g\n", total, fluid.dens[IX(64, 64)],
              fluid.u[IX(64, 66)], fluid.v[IX(66, 64)]);
}
