#include <algorithm>

#include "cell_programs.h"
#include "fast_kernels.h"
#include "grid_span.h"

namespace {

// A cell reads its left and lower neighbours new and its right and upper ones as the launch
// found them, so line j + 1 may run one cell behind line j. Lines run side by side this way
// give the processor independent chains of arithmetic to overlap.
constexpr int kLaggedLines = 8;

}  // namespace

// In the reference order a diffusion thread's neighbours have either finished or not begun
// while it runs, so its 20 passes store one value: one pass gives the same bits.
void diffuseFast(const BlockRect& blocks, int N, int b, float* x, const float* x0, float rate,
                 float dt, const int* boundary) {
  const DiffusionConstants k = diffusionConstants(N, rate, dt);
  const GridSpan span = gridSpanOf(N, blocks);
  const int width = span.endI - span.firstI;
  for (int first = span.firstLine; first < span.endLine; first += kLaggedLines) {
    const int lines = std::min(kLaggedLines, span.endLine - first);
    for (int step = 0; step < width + lines - 1; ++step) {
      // Line `first + l` is at cell step - l of the span.
      const int lowest = std::max(0, step - width + 1);
      const int highest = std::min(lines - 1, step);
      for (int l = lowest; l <= highest; ++l) {
        const ThreadCell c = cellAt(N, span.firstI + step - l, first + l);
        diffusePass(N, b, x, x0, k, boundary, c, isEdgeCell(N, c));
      }
    }
  }
}
