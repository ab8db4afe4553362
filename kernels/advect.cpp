#include "device_arithmetic.h"
#include "edge_fill.h"
#include "kernels.h"
#include "obstacle_reflection.h"

namespace {

// The departure coordinate along one axis, clamped into [0.5, n + 0.5]; the strict tests let
// a NaN through unchanged.
float departure(int cell, float velocity, float dt0, int n) {
  float position = static_cast<float>(cell - static_cast<double>(velocity) * dt0);
  if (position < 0.5) position = 0.5f;
  if (position > n + 0.5) position = static_cast<float>(n + 0.5);
  return position;
}

}  // namespace

void gpuKernelAdvect(int N, int b, float* d, float* d0, float* u, float* v, float dt,
                     int* boundary) {
  const ThreadCell c = threadCell(N);
  const float dt0 = static_cast<float>(static_cast<double>(N) * dt);
  const float pos_i = departure(c.i, u[c.t], dt0, N);
  const float pos_j = departure(c.j, v[c.t], dt0, N);
  const int i0 = deviceFloatToInt(pos_i);
  const int i1 = i0 + 1;
  const int j0 = deviceFloatToInt(pos_j);
  const int j1 = j0 + 1;
  const float wi1 = static_cast<float>(static_cast<double>(pos_i) - i0);
  const float wi0 = static_cast<float>(1.0 - wi1);
  const float wj1 = static_cast<float>(static_cast<double>(pos_j) - j0);
  const float wj0 = static_cast<float>(1.0 - wj1);

  const bool onEdge = isEdgeCell(N, c);
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    d[c.t] = 0.0f;
  } else {
    const double lower = static_cast<double>(d0[cellIndex(N, i0, j0)]) * wj0 +
                         static_cast<double>(d0[cellIndex(N, i0, j1)]) * wj1;
    const double upper = static_cast<double>(d0[cellIndex(N, i1, j0)]) * wj0 +
                         static_cast<double>(d0[cellIndex(N, i1, j1)]) * wj1;
    const float val = static_cast<float>(lower * wi0 + upper * wi1);
    // Variant 1 reflects off obstacles along j, variant 2 along i; others never reflect.
    const bool reflected = (b == 1 && pointsAtObstacle(val, N, c, Axis::J, boundary)) ||
                           (b == 2 && pointsAtObstacle(val, N, c, Axis::I, boundary));
    d[c.t] = reflected ? -val : val;
  }
  if (onEdge) fillEdge(N, b, d, c);  // the fill leaves other cells alone
}
