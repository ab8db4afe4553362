#include "launch_runner.h"

#include "block_runner.h"
#include "thread_frames.h"
#include "wavefront_runner.h"

namespace runtime_detail {

namespace {

// Plain data, never destroyed, so that exit handlers may still launch.
BlockRunner callerRunner;

bool runInReferenceOrder(const LaunchJob& job) {
  // Each launching thread writes its own copies of thread-local index variables.
  static thread_local IndexVariablesCache cache;
  callerRunner.begin(job.kernel->deviceFunction, job.record, job.gridSize, job.blockSize,
                     cache.of(job.kernel->indexVariables));
  for (std::uint32_t z = 0; z < job.gridSize.z; ++z) {
    for (std::uint32_t y = 0; y < job.gridSize.y; ++y) {
      for (std::uint32_t x = 0; x < job.gridSize.x; ++x) callerRunner.runBlock(dim3(x, y, z));
    }
  }
  return callerRunner.diverged();
}

}  // namespace

bool launchInProgress() { return runningThreadParkingSlot != nullptr; }

cudaError_t runLaunch(const LaunchJob& job) {
  const std::uint64_t framesRefusedBefore = threadFramesRefused();
  bool diverged = false;
  if (!runOnWorkers(job, diverged)) diverged = runInReferenceOrder(job);
  if (threadFramesRefused() != framesRefusedBefore) return cudaErrorMemoryAllocation;
  return diverged ? cudaErrorLaunchFailure : cudaSuccess;
}

}  // namespace runtime_detail
