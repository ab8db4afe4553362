#include "execution_model.h"
#include "kernels.h"

void gpuKernelAdd_Source(int N, float* x, float* s, float dt) {
  const int cells = (N + 2) * (N + 2);
  const int k = threadCell(N).t % cells;
  x[k] = static_cast<float>(static_cast<double>(x[k]) + static_cast<double>(s[k]) * dt);
}
