// A static library that runs the step, as the front end's own libraries do.
#include "step_in_archive.h"

#include "calc_fluid.h"

void stepFromArchive() { gpuCalcFluid(); }
