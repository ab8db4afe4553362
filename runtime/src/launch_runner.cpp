#include "launch_runner.h"

#include <atomic>
#include <limits>

#include "participant.h"
#include "runtime_testing.h"
#include "thread_frames.h"
#include "wavefront_runner.h"

namespace runtime_detail {

namespace {

std::atomic<bool> fastFormsOn{true};

std::uint64_t blocksOf(const LaunchJob& job) {
  return std::uint64_t{job.gridSize.x} * job.gridSize.y * job.gridSize.z;
}

const runtime_fast::FastForm* acceptingFastForm(const LaunchJob& job) {
  const runtime_fast::FastForm& form = job.kernel->fastForm;
  if (form.run == nullptr || !fastFormsOn.load(std::memory_order_relaxed)) return nullptr;
  return form.accepts(job.record, job.gridSize, job.blockSize, job.threadsPerLine) ? &form
                                                                                  : nullptr;
}

}  // namespace

runtime_fast::BlockRect wholeLaunch(const LaunchJob& job) {
  const std::uint64_t blocks = blocksOf(job);
  const std::uint64_t threadsPerBlock =
      std::uint64_t{job.blockSize.x} * job.blockSize.y * job.blockSize.z;
  const std::uint64_t blocksPerLine =
      job.threadsPerLine != 0 && job.threadsPerLine % threadsPerBlock == 0
          ? job.threadsPerLine / threadsPerBlock
          : blocks;
  if (blocksPerLine == 0 || blocksPerLine > std::numeric_limits<std::uint32_t>::max() ||
      blocks % blocksPerLine != 0) {
    return {0, 1, 0, static_cast<std::uint32_t>(blocks), static_cast<std::uint32_t>(blocks)};
  }
  const auto perLine = static_cast<std::uint32_t>(blocksPerLine);
  return {0, blocks / blocksPerLine, 0, perLine, perLine};
}

bool runInReferenceOrder(Participant& launcher, const LaunchJob& job) {
  if (job.fastForm != nullptr) {
    job.fastForm->run(job.record, wholeLaunch(job));
    return false;
  }
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

cudaError_t runLaunch(const LaunchJob& asConfigured) {
  LaunchJob job = asConfigured;
  job.fastForm = acceptingFastForm(job);
  const std::uint64_t framesRefusedBefore = threadFramesRefused();
  Participant* launcher = participantOfThisThread();
  if (launcher == nullptr) return cudaErrorMemoryAllocation;
  bool diverged = false;
  if (!runOnWorkers(*launcher, job, diverged)) diverged = runInReferenceOrder(*launcher, job);
  if (threadFramesRefused() != framesRefusedBefore) return cudaErrorMemoryAllocation;
  return diverged ? cudaErrorLaunchFailure : cudaSuccess;
}

}  // namespace runtime_detail

namespace runtime_testing {

void useFastForms(bool on) { runtime_detail::fastFormsOn.store(on, std::memory_order_relaxed); }

}  // namespace runtime_testing
