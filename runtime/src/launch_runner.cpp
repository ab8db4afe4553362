#include "launch_runner.h"

#include "participant.h"
#include "thread_frames.h"
#include "wavefront_runner.h"

namespace runtime_detail {

bool runInReferenceOrder(Participant& launcher, const LaunchJob& job) {
  BlockRunner& runner = launcher.runner;
  runner.begin(job.kernel->deviceFunction, job.record, job.gridSize, job.blockSize,
               launcher.variables.of(job.kernel->indexVariables));
  launcher.begunLaunch = 0;
  for (std::uint32_t z = 0; z < job.gridSize.z; ++z) {
    for (std::uint32_t y = 0; y < job.gridSize.y; ++y) {
      for (std::uint32_t x = 0; x < job.gridSize.x; ++x) runner.runBlock(dim3(x, y, z));
    }
  }
  return runner.diverged();
}

bool launchInProgress() { return runningThreadParkingSlot != nullptr; }

cudaError_t runLaunch(const LaunchJob& job) {
  const std::uint64_t framesRefusedBefore = threadFramesRefused();
  Participant* launcher = participantOfThisThread();
  if (launcher == nullptr) return cudaErrorMemoryAllocation;
  bool diverged = false;
  if (!runOnWorkers(*launcher, job, diverged)) diverged = runInReferenceOrder(*launcher, job);
  if (threadFramesRefused() != framesRefusedBefore) return cudaErrorMemoryAllocation;
  return diverged ? cudaErrorLaunchFailure : cudaSuccess;
}

}  // namespace runtime_detail
