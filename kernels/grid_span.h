// The cells a rectangle of blocks covers on an n-grid whose lines are whole blocks of 32.
#pragma once

#include <cstdint>

#include "execution_model.h"
#include "fast_kernels.h"

struct GridSpan {
  int firstLine;
  int endLine;
  int firstI;  // cells [firstI, endI) of each line
  int endI;
};

inline GridSpan gridSpanOf(int n, const BlockRect& blocks) {
  const int side = n + 2;
  if (std::uint64_t{blocks.blocksPerLine} * threads_per_block == static_cast<std::uint64_t>(side)) {
    return {static_cast<int>(blocks.firstLine), static_cast<int>(blocks.endLine),
            static_cast<int>(blocks.firstColumn * threads_per_block),
            static_cast<int>(blocks.endColumn * threads_per_block)};
  }
  return {0, side, 0, side};  // the whole launch as one line of blocks
}

// Visits the blocks of a span line by line, left to right, by their first cell (i0, j).
template <class Visit>
void forEachBlockIn(const GridSpan& span, Visit visit) {
  for (int j = span.firstLine; j < span.endLine; ++j) {
    for (int i0 = span.firstI; i0 < span.endI; i0 += static_cast<int>(threads_per_block)) {
      visit(i0, j);
    }
  }
}
