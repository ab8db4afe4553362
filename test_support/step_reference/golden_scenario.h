// The golden scenario shared by the regression tests and the benchmarks: a ring of obstacles
// with a gap around the centre, right-click bursts inside and outside it, the bottom source
// fed every tenth step and a drag-like push, over fifty steps. On other grids than the default
// 128-cell side every place scales with the side, so the scenario keeps its shape.
#pragma once

#include "fluid_state.h"

inline constexpr int kGoldenSteps = 50;

// A right click at cell (i, j) with 4-pixel cells: density and four velocity pushes.
void rightClickBurst(int i, int j, FluidState& s = fluid, float cellSize = 4.0f);

// The 'f' key: a density and a v source in the bottom interior row.
void bottomSource(FluidState& s = fluid, float cellSize = 4.0f);

void placeGoldenObstacles(FluidState& s);

// The sources written before step `step` (counted from 0).
void addGoldenSources(FluidState& s, int step);
