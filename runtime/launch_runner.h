// Runs one launch on the host: every thread of every block, in the reference order.
#pragma once

#include "cuda_runtime.h"

namespace runtime_detail {

struct LaunchJob {
  cudaEntryThunk entry;
  const void* record;
  dim3 gridSize;
  dim3 blockSize;
  dim3* threadIndex;
  dim3* blockIndex;
  dim3* blockSizeVariable;
  dim3* gridSizeVariable;
  int* warpSize;
};

// Blocks run one after another in increasing index (x fastest). Inside a block, threads
// 0, 1, ... each run up to their next block barrier or their end, in turn, then all those
// waiting at the barrier continue the same way. A kernel without a barrier therefore runs as
// one plain call per thread.
//
// Returns, after running every thread it could: cudaErrorMemoryAllocation if some thread
// could not get a frame and never ran; otherwise cudaErrorLaunchFailure if the threads of some
// block reached the barrier unequally often.
cudaError_t runLaunch(const LaunchJob& job);

// True while a launch is running (its kernels are on the stack).
bool launchInProgress();

}  // namespace runtime_detail
