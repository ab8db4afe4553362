#include <algorithm>

#include "advect_lanes.h"
#include "cell_programs.h"
#include "fast_kernels.h"
#include "grid_span.h"

// A cell's update reads only buffers nobody writes in the launch; its edge fill reads what
// the threads before it wrote. So each line runs in thread order, its cells off the edge all
// at once in vector lanes between its two edge cells.
void advectFast(const BlockRect& blocks, int N, int b, float* d, const float* d0,
                const float* u, const float* v, float dt, const int* boundary) {
  const GridSpan span = gridSpanOf(N, blocks);
  const float dt0 = advectionStep(N, dt);
  const auto inThreadOrder = [&](int i, int j) {
    advectCell(N, b, d, d0, u, v, dt0, boundary, cellAt(N, i, j));
  };
  for (int j = span.firstLine; j < span.endLine; ++j) {
    if (j == 0 || j == N + 1) {
      for (int i = span.firstI; i < span.endI; ++i) inThreadOrder(i, j);
      continue;
    }
    if (span.firstI == 0) inThreadOrder(0, j);
    const int first = std::max(span.firstI, 1);
    const int end = std::min(span.endI, N + 1);
    advectInteriorInLanes(N, b, d, d0, u, v, dt0, boundary, j, first, end);
    if (span.endI == N + 2) inThreadOrder(N + 1, j);
  }
}
