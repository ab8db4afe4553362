#include "device_arithmetic.h"
#include "edge_fill.h"
#include "kernels.h"
#include "obstacle_reflection.h"

namespace {

// Half the difference of the two neighbours, rounded to float, over the grid spacing.
float halfDifferenceOver(float plus, float minus, float h) {
  return deviceDivide(static_cast<float>((static_cast<double>(plus) - minus) * 0.5), h);
}

}  // namespace

cudaDeviceThread gpuKernelProjectStep3(int N, float* u, float* v, float* p,
                                       int* boundary) {
  const float h = static_cast<float>(1.0 / N);
  const ThreadCell c = threadCell(N);
  const bool onEdge = isEdgeCell(N, c);
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    u[c.t] = 0.0f;
    v[c.t] = 0.0f;
  } else {
    // The axes cross: the gradient along i is reflected by the neighbours along j, and the
    // other way round.
    const float gi = halfDifferenceOver(p[cellIndex(N, c.i + 1, c.j)],
                                        p[cellIndex(N, c.i - 1, c.j)], h);
    u[c.t] = static_cast<float>(pointsAtObstacle(gi, N, c, Axis::J, boundary)
                                    ? static_cast<double>(u[c.t]) + gi
                                    : static_cast<double>(u[c.t]) - gi);
    const float gj = halfDifferenceOver(p[cellIndex(N, c.i, c.j + 1)],
                                        p[cellIndex(N, c.i, c.j - 1)], h);
    v[c.t] = static_cast<float>(pointsAtObstacle(gj, N, c, Axis::I, boundary)
                                    ? static_cast<double>(v[c.t]) + gj
                                    : static_cast<double>(v[c.t]) - gj);
  }
  co_await blockBarrier();
  if (onEdge) {  // the fill leaves other cells alone
    fillEdgeCopy(N, u, c);
    fillEdgeCopy(N, v, c);
  }
}
