// Fast forms: whole-grid host code registered beside a kernel's entry thunk that gives exactly
// the results of running the kernel's threads in the reference order (blocks in turn; inside a
// block, threads 0..31 each to their next barrier or their end, in turn), NaN payloads
// included. A launch runs its kernel's fast form when the form accepts the launch's geometry
// and arguments; otherwise, and whenever tests ask for it, thread by thread. The runtime knows
// nothing of what a form computes: it hands it the argument record and the blocks to run.
#pragma once

#include <cstdint>

#include "cuda_runtime.h"

namespace runtime_fast {

// The blocks numbered line x blocksPerLine + column for every line in [firstLine, endLine) and
// column in [firstColumn, endColumn), to be run as the reference order runs them: line by line,
// left to right. A whole launch is one rectangle; a launch with neighbour lines may also come
// as tiles (tile_board.h), each run once every block before it in its line and every block at
// its place in the lines before has finished, and before the blocks after it have started.
struct BlockRect {
  std::uint64_t firstLine = 0;
  std::uint64_t endLine = 0;
  std::uint32_t firstColumn = 0;
  std::uint32_t endColumn = 0;
  std::uint32_t blocksPerLine = 0;
};

struct FastForm {
  // Whether the form was written for this launch: `threadsPerLine` is the declared neighbour
  // line (runtime_parallel::declareNeighbourLines), 0 if none.
  bool (*accepts)(const void* record, dim3 gridSize, dim3 blockSize,
                  std::uint32_t threadsPerLine) = nullptr;
  void (*run)(const void* record, const BlockRect& blocks) = nullptr;
  // Blocks of a line that a tile should hold side by side: more for a form that runs the blocks
  // of a diagonal at once or streams long runs of cells. The runtime still cuts a line in two
  // for two workers.
  std::uint32_t leastBlocksAcross = 1;
};

// Registers `form` for the kernel registered under `hostFunction`; it goes with that
// registration. cudaErrorInvalidDeviceFunction if there is none, cudaErrorInvalidValue for a
// form without both functions.
cudaError_t registerFastForm(const void* hostFunction, FastForm form);

}  // namespace runtime_fast

namespace runtime_testing {

// Off: every launch runs thread by thread, the measure of every fast form. On by default.
void useFastForms(bool on);

}  // namespace runtime_testing
