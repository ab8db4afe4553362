// The kernels' fast forms: each leaves the cells of a rectangle of blocks exactly as running
// the kernel's threads in the reference order would, given that the blocks before them are
// done. The runtime calls them through the step's registration; a whole launch is one
// rectangle, a launch shared among workers a tile at a time.
#pragma once

#include "fast_forms.h"  // the runtime's BlockRect

using runtime_fast::BlockRect;

// Whether a launch of `gridSize` x `blockSize` with neighbour lines `threadsPerLine` (0 if
// none) is one the fast forms were written for: one thread per cell of an n-grid, blocks of 32,
// lines that are whole blocks.
bool fastFormGeometry(int n, dim3 gridSize, dim3 blockSize, std::uint32_t threadsPerLine);

// Whether two fields of an n-grid share no cell.
bool disjointFields(int n, const void* a, const void* b);

void addSourceFast(const BlockRect& blocks, int N, float* x, const float* s, float dt);
void diffuseFast(const BlockRect& blocks, int N, int b, float* x, const float* x0, float rate,
                 float dt, const int* boundary);
void advectFast(const BlockRect& blocks, int N, int b, float* d, const float* d0,
                const float* u, const float* v, float dt, const int* boundary);
void projectStep1Fast(const BlockRect& blocks, int N, const float* u, const float* v, float* p,
                      float* div, const int* boundary);
void projectStep2Fast(const BlockRect& blocks, int N, float* p, const float* div,
                      const int* boundary);
void projectStep3Fast(const BlockRect& blocks, int N, float* u, float* v, const float* p,
                      const int* boundary);
