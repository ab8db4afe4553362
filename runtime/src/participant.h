// What a host thread needs to run blocks of launches: a block runner, its own copies of the
// kernels' index variables, frames for kernel threads that wait at barriers, and a word to
// sleep on. Each launching thread has one of its own, as has each worker of the pool, so no two
// host threads ever share one.
#pragma once

#include <atomic>
#include <cstdint>

#include "block_runner.h"
#include "index_variables.h"
#include "sleep_word.h"
#include "thread_frames.h"

namespace runtime_detail {

struct Participant {
  BlockRunner runner;
  IndexVariablesCache variables;
  ThreadFramePool frames;
  SleepWord sleep;
  std::uint32_t begunLaunch = 0;  // serial number of the launch the runner was made ready for
  // Written by the participant's own thread, read by the launching thread between launches.
  std::atomic<std::uint64_t> tilesRun{0};
  std::atomic<std::uint64_t> busyNs{0};
  std::atomic<std::uint64_t> tileWaitNs{0};
};

// The calling thread's participant, made on its first launch; its frames become the thread's.
// The first thread to launch keeps one that is never destroyed, so that launches still run
// from exit handlers; any other launching thread's ends with the thread. Null if there is no
// memory for it.
Participant* participantOfThisThread();

}  // namespace runtime_detail
