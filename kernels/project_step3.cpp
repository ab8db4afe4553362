#include "cell_programs.h"
#include "kernels.h"

cudaDeviceThread gpuKernelProjectStep3(int N, float* u, float* v, float* p,
                                       int* boundary) {
  const ThreadCell c = threadCell(N);
  const bool onEdge = isEdgeCell(N, c);
  gradientUpdate(N, gridSpacing(N), u, v, p, boundary, c, onEdge);
  co_await blockBarrier();
  if (onEdge) {  // the fill leaves other cells alone
    fillEdgeCopy(N, u, c);
    fillEdgeCopy(N, v, c);
  }
}
