#include "golden_scenario.h"

namespace {

int cellOf(const FluidState& s, int i, int j) { return i + (s.N + 2) * j; }

// A place on the default grid's 128-cell side, moved to the same place on `s`'s grid.
int scaled(const FluidState& s, int place) { return place * (s.N + 2) / kDefaultGridSide; }

}  // namespace

void rightClickBurst(int i, int j, FluidState& s, float cellSize) {
  s.dens_prev[cellOf(s, i, j)] = s.N * cellSize;
  s.u_prev[cellOf(s, i, j - 1)] = -cellSize;
  s.u_prev[cellOf(s, i, j + 1)] = cellSize;
  s.v_prev[cellOf(s, i - 1, j)] = -cellSize;
  s.v_prev[cellOf(s, i + 1, j)] = cellSize;
}

void bottomSource(FluidState& s, float cellSize) {
  s.dens_prev[cellOf(s, 1, s.source_column)] = s.N * cellSize;
  s.v_prev[cellOf(s, 1, s.source_column)] = cellSize;
}

void placeGoldenObstacles(FluidState& s) {
  const int centre = scaled(s, 64);
  const int inner = scaled(s, 16), outer = scaled(s, 19);
  const int gapBeyond = scaled(s, 10), gapHalfWidth = scaled(s, 3);
  for (int i = centre - scaled(s, 20); i <= centre + scaled(s, 20); ++i) {
    for (int j = centre - scaled(s, 20); j <= centre + scaled(s, 20); ++j) {
      const int di = i - centre, dj = j - centre;
      const int r2 = di * di + dj * dj;
      if (r2 >= inner * inner && r2 <= outer * outer &&
          !(dj > gapBeyond && di > -gapHalfWidth && di < gapHalfWidth)) {
        s.boundary[cellOf(s, i, j)] = 1;
      }
    }
  }
}

void addGoldenSources(FluidState& s, int step) {
  const auto burst = [&](int i, int j) { rightClickBurst(scaled(s, i), scaled(s, j), s); };
  if (step % 10 == 0) bottomSource(s);
  if (step == 0) burst(64, 64);
  if (step == 5) burst(20, 100);
  if (step == 12) burst(100, 30);
  if (step == 20) s.u_prev[cellOf(s, scaled(s, 30), scaled(s, 40))] += 12.0f;
  if (step == 33) burst(66, 70);
}
