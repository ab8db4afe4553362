#include <algorithm>

#include "cell_programs.h"
#include "fast_kernels.h"
#include "grid_span.h"

namespace {

constexpr int kBlockThreads = static_cast<int>(threads_per_block);
constexpr int kPressurePasses = 20;

// The edge threads' fill after a block's barrier, in thread order.
void fillBlockEdges(int n, float* x, float* y, int first) {
  const int side = n + 2;
  for (int t = first; t < first + kBlockThreads; ++t) {
    const ThreadCell c = cellAt(n, t % side, t / side);
    if (!isEdgeCell(n, c)) continue;
    fillEdgeCopy(n, x, c);
    if (y != nullptr) fillEdgeCopy(n, y, c);
  }
}

// A pressure block: 20 passes in which thread k reads thread k - 1's value of this pass and
// thread k + 1's of the last, so cell k of pass p waits only for cells k - 1 of pass p and
// k + 1 of pass p - 1. Cells with equal 2p + k are independent and run together, letting the
// processor overlap their chains. An edge thread's fill between two passes is overwritten by
// its clear before any other thread runs, so only the fill after the last pass stays.
void relaxBlock(int n, float* p, const float* div, const int* boundary, int first) {
  const int side = n + 2;
  bool cleared[kBlockThreads];
  for (int k = 0; k < kBlockThreads; ++k) {
    const int t = first + k;
    const ThreadCell c = cellAt(n, t % side, t / side);
    cleared[k] = isEdgeOrObstacleCell(isEdgeCell(n, c), c, boundary);
  }
  constexpr int kWavefronts = 2 * (kPressurePasses - 1) + kBlockThreads;
  for (int w = 0; w < kWavefronts; ++w) {
    const int lowest = w >= kBlockThreads ? (w - kBlockThreads + 2) / 2 : 0;
    const int highest = std::min(kPressurePasses - 1, w / 2);
    for (int pass = highest; pass >= lowest; --pass) {
      const int k = w - 2 * pass;
      relaxPressureAt(p, div, boundary, first + k, side, cleared[k]);
    }
  }
  fillBlockEdges(n, p, nullptr, first);
}

}  // namespace

// Blocks in turn, each its updates and then, after the barrier, its edge fill.
void projectStep1Fast(const BlockRect& blocks, int N, const float* u, const float* v, float* p,
                      float* div, const int* boundary) {
  const float h = gridSpacing(N);
  forEachBlockIn(N, gridSpanOf(N, blocks), [&](int first, int j) {
    const int i0 = first - j * (N + 2);
    for (int k = 0; k < kBlockThreads; ++k) {
      const ThreadCell c = cellAt(N, i0 + k, j);
      divergenceUpdate(N, h, u, v, p, div, boundary, c, isEdgeCell(N, c));
    }
    fillBlockEdges(N, div, p, first);
  });
}

void projectStep2Fast(const BlockRect& blocks, int N, float* p, const float* div,
                      const int* boundary) {
  forEachBlockIn(N, gridSpanOf(N, blocks),
                 [&](int first, int) { relaxBlock(N, p, div, boundary, first); });
}

void projectStep3Fast(const BlockRect& blocks, int N, float* u, float* v, const float* p,
                      const int* boundary) {
  const float h = gridSpacing(N);
  forEachBlockIn(N, gridSpanOf(N, blocks), [&](int first, int j) {
    const int i0 = first - j * (N + 2);
    for (int k = 0; k < kBlockThreads; ++k) {
      const ThreadCell c = cellAt(N, i0 + k, j);
      gradientUpdate(N, h, u, v, p, boundary, c, isEdgeCell(N, c));
    }
    fillBlockEdges(N, u, v, first);
  });
}
