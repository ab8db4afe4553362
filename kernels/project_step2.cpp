#include "device_arithmetic.h"
#include "edge_fill.h"
#include "kernels.h"
#include "obstacle_reflection.h"

namespace {
constexpr int kPressurePasses = 20;
}

cudaDeviceThread gpuKernelProjectStep2(int N, float* p, float* div, int* boundary) {
  const ThreadCell c = threadCell(N);
  // The mask is read-only in every launch: the cell's class holds for all passes.
  const bool onEdge = isEdgeCell(N, c);
  const bool cleared = onEdge || boundary[c.t] != 0;
  for (int pass = 0; pass < kPressurePasses; ++pass) {
    if (cleared) {
      p[c.t] = 0.0f;
    } else {
      const float sum = static_cast<float>(
          static_cast<double>(div[c.t]) + p[cellIndex(N, c.i - 1, c.j)] +
          p[cellIndex(N, c.i + 1, c.j)] + p[cellIndex(N, c.i, c.j - 1)] +
          p[cellIndex(N, c.i, c.j + 1)]);
      const float pval = deviceDivide(sum, 4.0f);
      p[c.t] = pointsAtObstacle(pval, N, c, Axis::J, boundary) ? -pval : pval;
    }
    co_await blockBarrier();
    if (onEdge) fillEdgeCopy(N, p, c);  // the fill leaves other cells alone
  }
}
