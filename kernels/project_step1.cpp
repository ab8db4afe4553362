#include "edge_fill.h"
#include "kernels.h"
#include "obstacle_reflection.h"

cudaDeviceThread gpuKernelProjectStep1(int N, float* u, float* v, float* p, float* div,
                                       int* boundary) {
  const float h = static_cast<float>(1.0 / N);
  const ThreadCell c = threadCell(N);
  const bool onEdge = isEdgeCell(N, c);
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    div[c.t] = 0.0f;
  } else {
    const double difference = static_cast<double>(u[cellIndex(N, c.i + 1, c.j)]) -
                              u[cellIndex(N, c.i - 1, c.j)] + v[cellIndex(N, c.i, c.j + 1)] -
                              v[cellIndex(N, c.i, c.j - 1)];
    const float dval = static_cast<float>((h * -0.5) * difference);
    div[c.t] = pointsAtObstacle(dval, N, c, Axis::I, boundary) ? -dval : dval;
  }
  p[c.t] = 0.0f;
  co_await blockBarrier();
  if (onEdge) {  // the fill leaves other cells alone
    fillEdgeCopy(N, div, c);
    fillEdgeCopy(N, p, c);
  }
}
