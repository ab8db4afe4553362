// What every kernel shares: the launch geometry, the mapping of a thread to its cell, the
// cell classes and the block barrier.
#pragma once

#include <bit>

#include "cuda_runtime.h"
#include "thread_index.h"

inline constexpr unsigned threads_per_block = 32;

// One thread per cell of a grid with n interior cells per side: (n+2)^2 / 32 blocks, whole
// when n + 2 is a multiple of 32, as every grid the program accepts is (512 for n = 126).
inline unsigned blocksPerLaunch(int n) {
  return static_cast<unsigned>((n + 2) * (n + 2)) / threads_per_block;
}

// Flat index of cell (i, j) on a grid with n interior cells per side.
inline int cellIndex(int n, int i, int j) { return i + (n + 2) * j; }

// The cell owned by the running thread: t = block * 32 + thread, i = t mod (n+2),
// j = t div (n+2). The factor 32 is the kernels' own, not the launch's block size.
struct ThreadCell {
  int t;
  int i;
  int j;
};

inline ThreadCell threadCell(int n) {
  const int t = static_cast<int>(gpuBlockIndex.x * 32u + gpuThreadIndex.x);
  const int side = n + 2;
  // Grid sides of 64, 128, 256, 512 and 1024 are powers of two: a mask and a shift split t
  // instead of two integer divisions (t is never negative, so both agree).
  if (side > 0 && (side & (side - 1)) == 0) {
    return {t, t & (side - 1), t >> std::countr_zero(static_cast<unsigned>(side))};
  }
  return {t, t % side, t / side};
}

inline bool isEdgeCell(int n, const ThreadCell& c) {
  return c.i == 0 || c.i == n + 1 || c.j == 0 || c.j == n + 1;
}

// An edge cell is never an obstacle, whatever its mask entry: the mask is read only for a
// cell that passed the four edge tests. Kernels keep `onEdge` (isEdgeCell) for their edge fill.
inline bool isEdgeOrObstacleCell(bool onEdge, const ThreadCell& c, const int* boundary) {
  return onEdge || boundary[c.t] != 0;
}

// Waits until every thread of the block has arrived; kernels that use it are coroutines and
// wait with `co_await blockBarrier();`.
inline cudaBlockBarrier blockBarrier() { return __cudaSynchronizeThreads(nullptr, nullptr); }
