// Runs a launch with neighbour lines on several host threads. Each line of blocks is cut into
// runs of consecutive blocks, one run per worker; worker w runs its run of every line in turn
// and starts a line only when worker w - 1 has finished its run of the same line. So a block
// starts after the block before it in its line and the block at its place in the line before
// have finished, and before the block after it in its line and the one at its place in the line
// after have started. Those four are the only blocks whose writes a neighbour-line thread may
// read, and it sees each of them exactly as in the reference order: the same bits, and every
// such read ordered after or before the write by acquire and release.
#pragma once

#include "launch_runner.h"

namespace runtime_detail {

// Returns false, having run nothing, when the launch keeps the reference order: one worker,
// no neighbour lines, lines that are not whole blocks or hold one block, index variables that
// are not all thread-local, or no worker thread could be started.
bool runOnWorkers(const LaunchJob& job, bool& diverged);

}  // namespace runtime_detail
