#include "device_arithmetic.h"
#include "edge_fill.h"
#include "kernels.h"

namespace {
constexpr int kDiffusePasses = 20;
}

void gpuKernelDiffuse(int N, int b, float* x, float* x0, float rate, float dt, int* boundary) {
  const float a = static_cast<float>(static_cast<double>(dt) * rate * N * N);
  // Neither the thread's indices (no barrier) nor the mask (nobody writes it) change during
  // the launch, so the cell is classified once.
  const ThreadCell c = threadCell(N);
  const bool onEdge = isEdgeCell(N, c);
  const bool cleared = isEdgeOrObstacleCell(onEdge, c, boundary);
  const float divisor = static_cast<float>(static_cast<double>(a) * 4.0 + 1.0);
  for (int pass = 0; pass < kDiffusePasses; ++pass) {
    if (cleared) {
      x[c.t] = 0.0f;
    } else {
      const double neighbours = ((static_cast<double>(x[cellIndex(N, c.i - 1, c.j)]) +
                                  x[cellIndex(N, c.i + 1, c.j)]) +
                                 x[cellIndex(N, c.i, c.j - 1)]) +
                                x[cellIndex(N, c.i, c.j + 1)];
      const float numerator = static_cast<float>(x0[c.t] + a * neighbours);
      x[c.t] = deviceDivide(numerator, divisor);
    }
    if (onEdge) fillEdge(N, b, x, c);  // the fill leaves other cells alone
  }
}
