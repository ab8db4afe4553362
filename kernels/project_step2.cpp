#include "cell_programs.h"
#include "kernels.h"

namespace {
constexpr int kPressurePasses = 20;
}

cudaDeviceThread gpuKernelProjectStep2(int N, float* p, float* div, int* boundary) {
  const ThreadCell c = threadCell(N);
  // The mask is read-only in every launch: the cell's class holds for all passes.
  const bool onEdge = isEdgeCell(N, c);
  const bool cleared = isEdgeOrObstacleCell(onEdge, c, boundary);
  for (int pass = 0; pass < kPressurePasses; ++pass) {
    relaxPressureAt(p, div, boundary, c.t, N + 2, cleared);
    co_await blockBarrier();
    if (onEdge) fillEdgeCopy(N, p, c);  // the fill leaves other cells alone
  }
}
