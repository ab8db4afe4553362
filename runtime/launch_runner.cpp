#include "launch_runner.h"

#include <array>
#include <coroutine>
#include <cstdint>

#include "thread_frames.h"

namespace runtime_detail {

std::coroutine_handle<>* runningThreadParkingSlot = nullptr;

namespace {

using ThreadSlot = std::uint32_t;

// Plain data, never destroyed, so that exit handlers may still launch.
struct RunnerState {
  // The launch.
  cudaEntryThunk entry = nullptr;
  const void* record = nullptr;
  dim3* threadIndexVariable = nullptr;
  ThreadSlot threadCount = 0;
  std::array<dim3, kMaxThreadsPerBlock> threadIndexOf{};
  bool diverged = false;

  // The block being run: who waits at the barrier.
  std::array<std::coroutine_handle<>, kMaxThreadsPerBlock> parked{};
};

RunnerState runner;

void publishThread(ThreadSlot thread) {
  *runner.threadIndexVariable = runner.threadIndexOf[thread];
  runningThreadParkingSlot = &runner.parked[thread];
}

// Each pass runs every thread that has not ended, in index order, up to its next barrier or
// its end. Every thread of a block must reach each barrier: a pass after which some threads
// wait and others have ended (or never started) means the barrier was reached unequally.
void runBlockInReferenceOrder() {
  const ThreadSlot count = runner.threadCount;
  ThreadSlot waiting = 0;
  for (ThreadSlot k = 0; k < count; ++k) {
    publishThread(k);
    runner.entry(runner.record);
    waiting += runner.parked[k] ? 1 : 0;
  }
  while (waiting != 0) {
    if (waiting != count) runner.diverged = true;
    waiting = 0;
    for (ThreadSlot k = 0; k < count; ++k) {
      const std::coroutine_handle<> thread = runner.parked[k];
      if (!thread) continue;
      runner.parked[k] = nullptr;
      publishThread(k);
      thread.resume();
      waiting += runner.parked[k] ? 1 : 0;
    }
  }
}

}  // namespace

// Kernel code runs only with its thread published, and the slot is cleared after every launch.
bool launchInProgress() { return runningThreadParkingSlot != nullptr; }

cudaError_t runLaunch(const LaunchJob& job) {
  const dim3 block = job.blockSize;
  const ThreadSlot count = block.x * block.y * block.z;
  for (ThreadSlot k = 0; k < count; ++k) {
    runner.threadIndexOf[k] = dim3(k % block.x, k / block.x % block.y, k / (block.x * block.y));
  }
  runner.entry = job.entry;
  runner.record = job.record;
  runner.threadIndexVariable = job.threadIndex;
  runner.threadCount = count;
  runner.diverged = false;
  *job.blockSizeVariable = job.blockSize;
  *job.gridSizeVariable = job.gridSize;
  *job.warpSize = 32;
  const std::uint64_t framesRefusedBefore = threadFramesRefused();

  for (std::uint32_t z = 0; z < job.gridSize.z; ++z) {
    for (std::uint32_t y = 0; y < job.gridSize.y; ++y) {
      for (std::uint32_t x = 0; x < job.gridSize.x; ++x) {
        *job.blockIndex = dim3(x, y, z);
        runBlockInReferenceOrder();
      }
    }
  }
  runningThreadParkingSlot = nullptr;
  if (threadFramesRefused() != framesRefusedBefore) return cudaErrorMemoryAllocation;
  return runner.diverged ? cudaErrorLaunchFailure : cudaSuccess;
}

}  // namespace runtime_detail
