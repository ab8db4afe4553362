#include <algorithm>

#include "cell_programs.h"
#include "fast_kernels.h"
#include "grid_span.h"
#include "pressure_lanes.h"
#include "projection_lanes.h"

namespace {

constexpr int kBlockThreads = static_cast<int>(threads_per_block);

// The edge threads' fill after the barrier of the block whose first cell is (i0, j), in thread
// order: every thread of an edge line, else the line's first and last cells.
void fillBlockEdges(int n, float* x, float* y, int i0, int j) {
  const auto fill = [&](int i) {
    const ThreadCell c = cellAt(n, i, j);
    fillEdgeCopy(n, x, c);
    if (y != nullptr) fillEdgeCopy(n, y, c);
  };
  if (j == 0 || j == n + 1) {
    for (int k = 0; k < kBlockThreads; ++k) fill(i0 + k);
    return;
  }
  if (i0 == 0) fill(0);
  if (i0 + kBlockThreads == n + 2) fill(n + 1);
}

// The blocks of a span by diagonals of the block grid (bx + by constant): a block reads the one
// to its left and the one below as finished, so the blocks of a diagonal are independent.
template <class Visit>
void forEachBlockDiagonal(const GridSpan& span, Visit visit) {
  const int columns = (span.endI - span.firstI) / kBlockThreads;
  const int lines = span.endLine - span.firstLine;
  for (int d = 0; d < columns + lines - 1; ++d) {
    for (int line = std::max(0, d - columns + 1); line <= std::min(lines - 1, d); ++line) {
      visit(span.firstI + (d - line) * kBlockThreads, span.firstLine + line, d);
    }
  }
}

// Cell k of pass p waits only for cells k - 1 of pass p and k + 1 of pass p - 1: the cells with
// equal 2p + k run together, so that the processor overlaps their chains.
void relaxBlockOfInteriorLine(int n, float* p, const float* div, const int* boundary, int first) {
  const int side = n + 2;
  const int i0 = first % side;
  bool cleared[kBlockThreads];
  for (int k = 0; k < kBlockThreads; ++k) {
    cleared[k] = i0 + k == 0 || i0 + k == n + 1 || boundary[first + k] != 0;
  }
  constexpr int kPasses = 20;
  for (int w = 0; w < 2 * (kPasses - 1) + kBlockThreads; ++w) {
    const int lowest = w >= kBlockThreads ? (w - kBlockThreads + 2) / 2 : 0;
    const int highest = std::min(kPasses - 1, w / 2);
    for (int pass = highest; pass >= lowest; --pass) {
      const int k = w - 2 * pass;
      relaxPressureAt(p, div, boundary, first + k, side, cleared[k]);
    }
  }
}

}  // namespace

void relaxPressureBlocksOneByOne(int n, float* p, const float* div, const int* boundary,
                                 const int* firsts, int count) {
  for (int k = 0; k < count; ++k) relaxBlockOfInteriorLine(n, p, div, boundary, firsts[k]);
}

// Blocks in turn, each its updates and then, after the barrier, its edge fill. The updates of
// an interior line's block run in vector lanes; an edge line's cells are all cleared.
void projectStep1Fast(const BlockRect& blocks, int N, const float* u, const float* v, float* p,
                      float* div, const int* boundary) {
  const float h = gridSpacing(N);
  forEachBlockIn(gridSpanOf(N, blocks), [&](int i0, int j) {
    if (j == 0 || j == N + 1) {
      for (int k = 0; k < kBlockThreads; ++k) {
        divergenceUpdate(N, h, u, v, p, div, boundary, cellAt(N, i0 + k, j), true);
      }
    } else {
      divergenceInLanes(N, h, u, v, p, div, boundary, j, i0, i0 + kBlockThreads);
    }
    fillBlockEdges(N, div, p, i0, j);
  });
}

// A pressure block's thread k reads, in every pass, what thread k - 1 wrote in this pass and
// thread k + 1 in the last. An edge thread's fill between two passes is overwritten by its
// clear before any other thread runs, so of the fills only the one after the last pass stays.
void projectStep2Fast(const BlockRect& blocks, int N, float* p, const float* div,
                      const int* boundary) {
  constexpr int kMostBlocksAtOnce = 64;
  int firsts[kMostBlocksAtOnce] = {};
  int lines[kMostBlocksAtOnce] = {};
  int count = 0;
  const auto relaxGathered = [&] {
    relaxPressureBlocksInLanes(N, p, div, boundary, firsts, count);
    for (int k = 0; k < count; ++k) {
      fillBlockEdges(N, p, nullptr, firsts[k] - lines[k] * (N + 2), lines[k]);
    }
    count = 0;
  };
  int diagonal = 0;
  forEachBlockDiagonal(gridSpanOf(N, blocks), [&](int i0, int j, int d) {
    if (d != diagonal || count == kMostBlocksAtOnce) relaxGathered();
    diagonal = d;
    if (j == 0 || j == N + 1) {
      // Every cell of an edge line is cleared in every pass.
      for (int k = 0; k < kBlockThreads; ++k) p[cellIndex(N, i0 + k, j)] = 0.0f;
      fillBlockEdges(N, p, nullptr, i0, j);
      return;
    }
    firsts[count] = cellIndex(N, i0, j);
    lines[count++] = j;
  });
  relaxGathered();
}

void projectStep3Fast(const BlockRect& blocks, int N, float* u, float* v, const float* p,
                      const int* boundary) {
  const float h = gridSpacing(N);
  forEachBlockIn(gridSpanOf(N, blocks), [&](int i0, int j) {
    if (j == 0 || j == N + 1) {
      for (int k = 0; k < kBlockThreads; ++k) {
        gradientUpdate(N, h, u, v, p, boundary, cellAt(N, i0 + k, j), true);
      }
    } else {
      gradientInLanes(N, h, u, v, p, boundary, j, i0, i0 + kBlockThreads);
    }
    fillBlockEdges(N, u, v, i0, j);
  });
}
