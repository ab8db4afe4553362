#include "block_runner.h"

namespace runtime_detail {

thread_local constinit std::coroutine_handle<>* runningThreadParkingSlot = nullptr;

void BlockRunner::begin(cudaEntryThunk entry, const void* record, dim3 gridSize, dim3 blockSize,
                        const IndexVariables& variables) {
  const std::uint32_t count = blockSize.x * blockSize.y * blockSize.z;
  for (std::uint32_t k = 0; k < count; ++k) {
    threadIndexOf_[k] =
        dim3(k % blockSize.x, k / blockSize.x % blockSize.y, k / (blockSize.x * blockSize.y));
  }
  entry_ = entry;
  record_ = record;
  threadIndexVariable_ = variables.threadIndex;
  blockIndexVariable_ = variables.blockIndex;
  threadCount_ = count;
  diverged_ = false;
  *variables.blockSize = blockSize;
  *variables.gridSize = gridSize;
  *variables.warpSize = 32;
}

void BlockRunner::publishThread(std::uint32_t thread) {
  *threadIndexVariable_ = threadIndexOf_[thread];
  runningThreadParkingSlot = &parked_[thread];
}

// Each pass runs every thread that has not ended, in index order, up to its next barrier or
// its end. Every thread of a block must reach each barrier: a pass after which some threads
// wait and others have ended (or never started) means the barrier was reached unequally.
void BlockRunner::runBlock(dim3 blockIndex) {
  *blockIndexVariable_ = blockIndex;
  const std::uint32_t count = threadCount_;
  std::uint32_t waiting = 0;
  for (std::uint32_t k = 0; k < count; ++k) {
    publishThread(k);
    entry_(record_);
    waiting += parked_[k] ? 1 : 0;
  }
  while (waiting != 0) {
    if (waiting != count) diverged_ = true;
    waiting = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::coroutine_handle<> thread = parked_[k];
      if (!thread) continue;
      parked_[k] = nullptr;
      publishThread(k);
      thread.resume();
      waiting += parked_[k] ? 1 : 0;
    }
  }
  runningThreadParkingSlot = nullptr;
}

}  // namespace runtime_detail
