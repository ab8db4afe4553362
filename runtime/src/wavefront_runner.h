// Runs a launch with neighbour lines on several host threads, cut into tiles (tile_board.h)
// that whichever thread is free runs next. The results are the reference order's, bit for bit.
#pragma once

#include "launch_runner.h"
#include "participant.h"

namespace runtime_detail {

// Returns false, having run nothing, when the launch keeps the reference order: one worker,
// no neighbour lines, lines that are not whole blocks or hold one block, index variables that
// are not all thread-local, work too small to be worth handing to another core, or no worker
// thread could be started.
bool runOnWorkers(Participant& launcher, const LaunchJob& job, bool& diverged);

}  // namespace runtime_detail
