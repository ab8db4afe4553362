#include "golden_scenario.h"

void rightClickBurst(int i, int j, FluidState& s, float cellSize) {
  s.dens_prev[IX(i, j)] = s.N * cellSize;
  s.u_prev[IX(i, j - 1)] = -cellSize;
  s.u_prev[IX(i, j + 1)] = cellSize;
  s.v_prev[IX(i - 1, j)] = -cellSize;
  s.v_prev[IX(i + 1, j)] = cellSize;
}

void bottomSource(FluidState& s, float cellSize) {
  s.dens_prev[IX(1, s.source_column)] = s.N * cellSize;
  s.v_prev[IX(1, s.source_column)] = cellSize;
}

void placeGoldenObstacles(FluidState& s) {
  for (int i = 44; i <= 84; ++i) {
    for (int j = 44; j <= 84; ++j) {
      const int di = i - 64, dj = j - 64;
      const int r2 = di * di + dj * dj;
      if (r2 >= 16 * 16 && r2 <= 19 * 19 && !(dj > 10 && di > -3 && di < 3)) {
        s.boundary[IX(i, j)] = 1;
      }
    }
  }
}

void addGoldenSources(FluidState& s, int step) {
  if (step % 10 == 0) bottomSource(s);
  if (step == 0) rightClickBurst(64, 64, s);
  if (step == 5) rightClickBurst(20, 100, s);
  if (step == 12) rightClickBurst(100, 30, s);
  if (step == 20) s.u_prev[IX(30, 40)] += 12.0f;
  if (step == 33) rightClickBurst(66, 70, s);
}
