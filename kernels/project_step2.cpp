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
  const bool cleared = isEdgeOrObstacleCell(onEdge, c, boundary);
  // Where the cell's neighbours are, worked out once rather than after every barrier.
  const int left = cellIndex(N, c.i - 1, c.j);
  const int right = cellIndex(N, c.i + 1, c.j);
  const int below = cellIndex(N, c.i, c.j - 1);
  const int above = cellIndex(N, c.i, c.j + 1);
  for (int pass = 0; pass < kPressurePasses; ++pass) {
    if (cleared) {
      p[c.t] = 0.0f;
    } else {
      const float sum = static_cast<float>(static_cast<double>(div[c.t]) + p[left] + p[right] +
                                           p[below] + p[above]);
      const float pval = deviceDivide(sum, 4.0f);
      p[c.t] = pointsAtObstacle(pval, below, above, boundary) ? -pval : pval;
    }
    co_await blockBarrier();
    if (onEdge) fillEdgeCopy(N, p, c);  // the fill leaves other cells alone
  }
}
