#include "cell_programs.h"
#include "fast_kernels.h"
#include "grid_span.h"

// A cell's update reads only buffers nobody writes in the launch; its edge fill reads what
// the threads before it wrote. Running the threads' programs in thread order gives both.
void advectFast(const BlockRect& blocks, int N, int b, float* d, const float* d0,
                const float* u, const float* v, float dt, const int* boundary) {
  const GridSpan span = gridSpanOf(N, blocks);
  const float dt0 = advectionStep(N, dt);
  for (int j = span.firstLine; j < span.endLine; ++j) {
    for (int i = span.firstI; i < span.endI; ++i) {
      advectCell(N, b, d, d0, u, v, dt0, boundary, cellAt(N, i, j));
    }
  }
}
