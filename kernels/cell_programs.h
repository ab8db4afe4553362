// What one kernel thread does to its cell between two barriers, as plain functions of the cell:
// the kernels' threads run them in whatever order the runtime gives, and their fast forms run
// them in the reference order across the whole grid.
#pragma once

#include "cell_formulas.h"
#include "edge_fill.h"
#include "execution_model.h"
#include "obstacle_reflection.h"

inline ThreadCell cellAt(int n, int i, int j) { return {cellIndex(n, i, j), i, j}; }

inline void addSourceAt(float* x, const float* s, float dt, int k) {
  x[k] = sourceAdded(x[k], s[k], dt);
}

struct DiffusionConstants {
  float a;
  float divisor;
};

inline DiffusionConstants diffusionConstants(int n, float rate, float dt) {
  const float a = diffusionRate(dt, rate, n);
  return {a, diffusionDivisor(a)};
}

// One of a diffusion thread's passes: cleared (edge or obstacle) cells become 0, others the
// relaxed value; then the edge fill.
inline void diffusePass(int n, int b, float* x, const float* x0, DiffusionConstants k,
                        const int* boundary, const ThreadCell& c, bool onEdge) {
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    x[c.t] = 0.0f;
  } else {
    x[c.t] = diffused(x0[c.t], k.a, k.divisor, x[cellIndex(n, c.i - 1, c.j)],
                      x[cellIndex(n, c.i + 1, c.j)], x[cellIndex(n, c.i, c.j - 1)],
                      x[cellIndex(n, c.i, c.j + 1)]);
  }
  if (onEdge) fillEdge(n, b, x, c);  // the fill leaves other cells alone
}

// The departure coordinate along one axis, clamped into [0.5, n + 0.5]; the strict tests let
// a NaN through unchanged.
inline float departure(int cell, float velocity, float dt0, int n) {
  float position = unclampedDeparture(ScalarLanes{}, cell, velocity, dt0);
  if (position < 0.5) position = 0.5f;
  if (position > n + 0.5) position = static_cast<float>(n + 0.5);
  return position;
}

inline float advectionStep(int n, float dt) {
  return static_cast<float>(static_cast<double>(n) * dt);
}

// An advection thread's whole program.
inline void advectCell(int n, int b, float* d, const float* d0, const float* u, const float* v,
                       float dt0, const int* boundary, const ThreadCell& c) {
  const float pos_i = departure(c.i, u[c.t], dt0, n);
  const float pos_j = departure(c.j, v[c.t], dt0, n);
  const int i0 = deviceFloatToInt(pos_i);
  const int i1 = i0 + 1;
  const int j0 = deviceFloatToInt(pos_j);
  const int j1 = j0 + 1;
  const float wi1 = upperWeight(ScalarLanes{}, pos_i, i0);
  const float wi0 = lowerWeight(ScalarLanes{}, wi1);
  const float wj1 = upperWeight(ScalarLanes{}, pos_j, j0);
  const float wj0 = lowerWeight(ScalarLanes{}, wj1);

  const bool onEdge = isEdgeCell(n, c);
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    d[c.t] = 0.0f;
  } else {
    const float val = interpolated(d0[cellIndex(n, i0, j0)], d0[cellIndex(n, i0, j1)],
                                   d0[cellIndex(n, i1, j0)], d0[cellIndex(n, i1, j1)], wi0, wi1,
                                   wj0, wj1);
    // Variant 1 reflects off obstacles along j, variant 2 along i; others never reflect.
    const bool reflected = (b == 1 && pointsAtObstacle(val, n, c, Axis::J, boundary)) ||
                           (b == 2 && pointsAtObstacle(val, n, c, Axis::I, boundary));
    d[c.t] = reflected ? -val : val;
  }
  if (onEdge) fillEdge(n, b, d, c);  // the fill leaves other cells alone
}

// The first projection step before its barrier: the divergence, reflected along i, and a
// cleared pressure.
inline void divergenceUpdate(int n, float h, const float* u, const float* v, float* p,
                             float* div, const int* boundary, const ThreadCell& c, bool onEdge) {
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    div[c.t] = 0.0f;
  } else {
    const float dval =
        divergence(h, u[cellIndex(n, c.i + 1, c.j)], u[cellIndex(n, c.i - 1, c.j)],
                   v[cellIndex(n, c.i, c.j + 1)], v[cellIndex(n, c.i, c.j - 1)]);
    div[c.t] = pointsAtObstacle(dval, n, c, Axis::I, boundary) ? -dval : dval;
  }
  p[c.t] = 0.0f;
}

// One relaxation pass of a pressure cell, reflected along j: `side` is the grid's line length.
inline void relaxPressureAt(float* p, const float* div, const int* boundary, int t, int side,
                            bool cleared) {
  if (cleared) {
    p[t] = 0.0f;
    return;
  }
  const float pval = relaxedPressure(div[t], p[t - 1], p[t + 1], p[t - side], p[t + side]);
  p[t] = pointsAtObstacle(pval, t - side, t + side, boundary) ? -pval : pval;
}

// The third projection step before its barrier: the velocity less the pressure gradient, each
// gradient reflected by the obstacles across its axis.
inline void gradientUpdate(int n, float h, float* u, float* v, const float* p,
                           const int* boundary, const ThreadCell& c, bool onEdge) {
  if (isEdgeOrObstacleCell(onEdge, c, boundary)) {
    u[c.t] = 0.0f;
    v[c.t] = 0.0f;
    return;
  }
  const float gi =
      halfDifferenceOver(p[cellIndex(n, c.i + 1, c.j)], p[cellIndex(n, c.i - 1, c.j)], h);
  u[c.t] = correctedVelocity(u[c.t], gi, pointsAtObstacle(gi, n, c, Axis::J, boundary));
  const float gj =
      halfDifferenceOver(p[cellIndex(n, c.i, c.j + 1)], p[cellIndex(n, c.i, c.j - 1)], h);
  v[c.t] = correctedVelocity(v[c.t], gj, pointsAtObstacle(gj, n, c, Axis::I, boundary));
}
