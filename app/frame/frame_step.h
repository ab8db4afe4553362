// The per-redraw simulation work: one step while the simulation runs or a single step was
// asked for, then the total density and, when switched on, the field dump.
#pragma once

#include <cstdio>

#include "calc_fluid.h"

// Advances `fluid` with `advance_fluid` (the solver's step unless a test passes its own) and
// prints any dump to `out`. With the field guard on, a step that leaves a non-finite value
// resets the fields before the sum and the dump. Does nothing at all while paused with no single step pending.
void frame_step(void (*advance_fluid)() = gpuCalcFluid, std::FILE* out = stdout);

// Sum of `dens` over the interior, top row first, accumulated in float as the dump reports it.
float interior_density_sum();
