#include "cell_programs.h"
#include "kernels.h"

namespace {
constexpr int kDiffusePasses = 20;
}

void gpuKernelDiffuse(int N, int b, float* x, float* x0, float rate, float dt, int* boundary) {
  const DiffusionConstants k = diffusionConstants(N, rate, dt);
  // Neither the thread's indices (no barrier) nor the mask (nobody writes it) change during
  // the launch, so the cell is classified once.
  const ThreadCell c = threadCell(N);
  const bool onEdge = isEdgeCell(N, c);
  for (int pass = 0; pass < kDiffusePasses; ++pass) diffusePass(N, b, x, x0, k, boundary, c, onEdge);
}
