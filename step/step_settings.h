// What the program may choose of the step before it runs: how many host threads share each
// step, and the device picked at start. The front end reaches the solver through here only.
#pragma once

// The most host threads one step may run on.
inline constexpr unsigned kMostStepWorkers = 64;

// Runs every later step on `count` host threads, the calling one included. Returns false,
// changing nothing, for a count outside 1..kMostStepWorkers.
bool setStepWorkers(unsigned count);

// One worker per core, but no more than the blocks of one line of the grid ((n+2) / 32 for n
// interior cells a side): workers share a launch line by line, so more cannot help. At least 1.
unsigned defaultStepWorkers(int n, unsigned cores);

// Runs every later step on defaultStepWorkers(n, the cores of this machine).
void useDefaultStepWorkers(int n);

// The device choice made once at start. Device 2 does not exist on every machine; the step
// runs on the current device regardless, so the result is ignored.
void chooseStartDevice();
