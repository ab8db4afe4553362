// The host threads that help a launching thread run launches with neighbour lines. Threads
// start on the first launch that wants them and serve until the process ends. A launch is
// offered to them and begun at once by the launching thread itself; every thread, the
// launching one included, takes the next ready tile (tile_board.h) until none is left. So a
// worker that is still waking, or whose core another program holds, joins late or not at all,
// and nobody waits for it longer than the tile it holds.
#pragma once

#include <chrono>
#include <cstdint>

#include "launch_runner.h"
#include "participant.h"
#include "runtime_testing.h"
#include "tile_board.h"

namespace runtime_detail {

struct PoolLaunchReport {
  bool ran = false;          // false: no worker could be started; nothing ran
  bool diverged = false;     // some block reached its barrier unequally often
  unsigned threadsThatRan = 0;
  std::uint64_t busyNs = 0;  // time spent running tiles, all threads together
};

// Runs `job` cut as `shape` on `launcher` (the calling thread's participant) and on up to
// `threads - 1` workers. A thread that finds no ready tile spins for `patience`, then sleeps.
PoolLaunchReport runOnPool(Participant& launcher, const LaunchJob& job, const TileShape& shape,
                           unsigned threads, std::chrono::nanoseconds patience);

// Wakes sleeping workers among the first `threads - 1`, without waiting for them.
void wakePool(unsigned threads);

runtime_testing::WorkerWaits poolWaits();

}  // namespace runtime_detail
