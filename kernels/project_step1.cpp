#include "cell_programs.h"
#include "kernels.h"

cudaDeviceThread gpuKernelProjectStep1(int N, float* u, float* v, float* p, float* div,
                                       int* boundary) {
  const ThreadCell c = threadCell(N);
  const bool onEdge = isEdgeCell(N, c);
  divergenceUpdate(N, gridSpacing(N), u, v, p, div, boundary, c, onEdge);
  co_await blockBarrier();
  if (onEdge) {  // the fill leaves other cells alone
    fillEdgeCopy(N, div, c);
    fillEdgeCopy(N, p, c);
  }
}
