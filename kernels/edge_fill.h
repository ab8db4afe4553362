// The edge fill that rewrites a field's edge cells after the thread's own update. Each
// thread fills only its own cell; cells off the edge are left alone.
#pragma once

#include "execution_model.h"

// Copy variant: an edge cell takes its inward neighbour, a corner the mean of its two edge
// neighbours as they stand when read. Later steps replace earlier ones, as for a corner.
inline void fillEdgeCopy(int n, float* x, const ThreadCell& c) {
  const int i = c.i;
  const int j = c.j;
  const int t = c.t;
  if (i == 0) x[t] = x[cellIndex(n, 1, j)];
  if (i == n + 1) x[t] = x[cellIndex(n, n, j)];
  if (j == 0) x[t] = x[cellIndex(n, i, 1)];
  if (j == n + 1) x[t] = x[cellIndex(n, i, n)];
  // Corner means are formed in double and rounded once by the store.
  if (i == 0 && j == 0) {
    x[t] = static_cast<float>(
        0.5 * (static_cast<double>(x[cellIndex(n, 1, 0)]) + x[cellIndex(n, 0, 1)]));
  }
  if (i == 0 && j == n + 1) {
    x[t] = static_cast<float>(
        0.5 * (static_cast<double>(x[cellIndex(n, 1, n + 1)]) + x[cellIndex(n, 0, n)]));
  }
  if (i == n + 1 && j == 0) {
    x[t] = static_cast<float>(
        0.5 * (static_cast<double>(x[cellIndex(n, n, 0)]) + x[cellIndex(n, n + 1, 1)]));
  }
  if (i == n + 1 && j == n + 1) {
    x[t] = static_cast<float>(
        0.5 * (static_cast<double>(x[cellIndex(n, n, n + 1)]) + x[cellIndex(n, n + 1, n)]));
  }
}

// Zero variant: every edge cell, corners included, becomes 0.
inline void fillEdgeZero(int n, float* x, const ThreadCell& c) {
  if (isEdgeCell(n, c)) x[c.t] = 0.0f;
}

// Diffusion and advection choose the variant by their integer selector: 0 copies.
inline void fillEdge(int n, int selector, float* x, const ThreadCell& c) {
  if (selector == 0) {
    fillEdgeCopy(n, x, c);
  } else {
    fillEdgeZero(n, x, c);
  }
}
