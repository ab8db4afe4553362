// Runs a launch with neighbour lines on several host threads, cut into tiles (tile_board.h)
// that whichever thread is free runs next. The results are the reference order's, bit for bit.
#pragma once

#include "launch_runner.h"
#include "participant.h"

namespace runtime_detail {

// Returns false, having run nothing, when the launch cannot be shared: one worker, no
// neighbour lines, lines that are not whole blocks or hold one block, index variables that are
// not all thread-local, or no worker thread could be started. Otherwise runs it and returns
// true: shared among threads, or on the launching thread alone where sharing has not paid
// (work too small to be worth handing to another core, or shared launches of the kernel lately
// slower than it runs alone, as when another program holds a core). Such a kernel is shared
// again now and then, to see whether it pays again.
bool runOnWorkers(Participant& launcher, const LaunchJob& job, bool& diverged);

}  // namespace runtime_detail
