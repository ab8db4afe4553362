// Pressure blocks side by side in vector lanes, one block a lane, for the fast form of the
// pressure relaxation. Blocks of one diagonal of the block grid never read one another, so
// they may run at once; each is then the same 20 passes of 32 cells as thread by thread.
// Compiled once per instruction set; the best the processor has is chosen when first used.
#pragma once

#include <string>
#include <vector>

// Relaxes the blocks whose first cells are `firsts` (`count` of them, independent of one
// another, each 32 cells of an interior line of an n-grid): their 20 passes and nothing else;
// the edge fill after the last pass is the caller's.
void relaxPressureBlocksInLanes(int n, float* p, const float* div, const int* boundary,
                                const int* firsts, int count);

// The same one block after another in scalar code, for processors without vector lanes.
void relaxPressureBlocksOneByOne(int n, float* p, const float* div, const int* boundary,
                                 const int* firsts, int count);

// Blocks the chosen instruction set runs at once.
int pressureLanes();

// The instruction sets this build has code for and the processor runs, best first; the one in
// use; and a way to choose another for tests and benchmarks (false, changing nothing, for a
// name not among them). An empty name goes back to the best.
std::vector<std::string> laneInstructionSets();
std::string laneInstructionSet();
bool useLaneInstructionSet(const std::string& name);
