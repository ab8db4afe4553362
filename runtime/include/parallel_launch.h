// Launches on several host threads with the results of the reference order. A caller that
// knows how the threads of a launch read one another declares it; the runtime then runs blocks
// side by side where that cannot change what any thread reads. Launches without a declaration,
// launches too small to be worth sharing, and every launch with one worker keep the reference
// order on the launching thread.
//
// Launches come from one host thread at a time (the configuration they carry belongs to the
// process), but from any thread: each launching thread runs its blocks with a runner, copies of
// the index variables and thread frames of its own, and the workers serve whichever thread
// launches. A worker that has no copy of a thread-local index variable yet is given one.
#pragma once

#include <cstdint>

#include "cuda_runtime.h"

namespace runtime_parallel {

inline constexpr unsigned kMaxWorkers = 64;

// The number of cores, at most 4.
unsigned defaultWorkers();

// How many host threads, the launching one included, may run one launch. Returns false,
// changing nothing, for a count outside 1..kMaxWorkers.
bool setWorkers(unsigned count);
unsigned workers();

// Workers left idle for a fraction of a millisecond sleep, and a launch never waits for them:
// the launching thread starts it at once and workers join it as they come. A caller about to
// make launches may wake them first, so that they are ready by the time the launches come; this
// makes no system call when they are awake.
void wakeWorkers();

// Declares of the configured next launch that its threads, numbered g = block number x threads
// per block + thread number (x fastest in both), form lines of `threadsPerLine` threads, and
// that a thread reads what other threads of the launch write only beside it in its own line
// (g - 1 and g + 1) and at its own place in the lines before and after (g - threadsPerLine and
// g + threadsPerLine). Returns cudaErrorMissingConfiguration without a configured launch and
// cudaErrorInvalidValue for 0; the declaration ends with the launch it was made for.
cudaError_t declareNeighbourLines(std::uint32_t threadsPerLine);

}  // namespace runtime_parallel
