// One simulation step on the device: upload the host fields, run the fifteen launches of the
// density and velocity steps, download the results.
#pragma once

// Advances the fields of `fluid` by one time step. A failed device allocation, copy or free
// prints its line on standard output and exits with status 1.
void gpuCalcFluid();
