// The arithmetic of one simulation step written as plain loops in the launches' reference
// order, with no runtime underneath: the floor that the launched step is measured against.
// It must produce the same bits as gpuCalcFluid; a test holds it to that.
#pragma once

struct FluidState;

void directCalcFluid(FluidState& state);
