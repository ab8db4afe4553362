// Runs one launch on the host: every thread of every block.
#pragma once

#include "cuda_runtime.h"
#include "registration_table.h"

namespace runtime_detail {

struct LaunchJob {
  const Registration* kernel;
  const void* record;
  dim3 gridSize;
  dim3 blockSize;
  // Nonzero when the caller declared that the launch's threads form lines of this many threads
  // and read what other threads of the launch write only at their neighbours in the line and
  // at their own places in the lines before and after.
  std::uint32_t threadsPerLine;
  // The kernel's fast form when it accepted this launch, else null: the launch runs thread by
  // thread.
  const runtime_fast::FastForm* fastForm = nullptr;
};

// The whole launch as one rectangle of blocks: in its declared lines, or as one line.
runtime_fast::BlockRect wholeLaunch(const LaunchJob& job);

// The results are those of the reference order: blocks one after another in increasing index
// (x fastest), each block in the order of BlockRunner. A launch with neighbour lines may run on
// several host threads, in an order that gives the same results (wavefront_runner.h).
//
// Returns, after running every thread it could: cudaErrorMemoryAllocation if some thread
// could not get a frame and never ran; otherwise cudaErrorLaunchFailure if the threads of some
// block reached the barrier unequally often.
cudaError_t runLaunch(const LaunchJob& job);

struct Participant;

// Runs every block on the launching thread: by the job's fast form if it has one, else with the
// thread's own runner and copies of the index variables. Returns whether some block reached its
// barrier unequally often.
bool runInReferenceOrder(Participant& launcher, const LaunchJob& job);

// True while the calling host thread runs kernel code (a launch's kernels are on its stack).
bool launchInProgress();

}  // namespace runtime_detail
