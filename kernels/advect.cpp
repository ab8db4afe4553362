#include "cell_programs.h"
#include "kernels.h"

void gpuKernelAdvect(int N, int b, float* d, float* d0, float* u, float* v, float dt,
                     int* boundary) {
  advectCell(N, b, d, d0, u, v, advectionStep(N, dt), boundary, threadCell(N));
}
