#include "cell_programs.h"
#include "fast_kernels.h"
#include "grid_span.h"

// Every thread touches its own cell only: any order is the reference order's result.
void addSourceFast(const BlockRect& blocks, int N, float* x, const float* s, float dt) {
  const GridSpan span = gridSpanOf(N, blocks);
  for (int j = span.firstLine; j < span.endLine; ++j) {
    for (int i = span.firstI; i < span.endI; ++i) addSourceAt(x, s, dt, cellIndex(N, i, j));
  }
}
