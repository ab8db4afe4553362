// The index variables through which the runtime tells each kernel thread who it is. The
// runtime writes them before a thread runs or resumes; the program only reads them.
#pragma once

#include "cuda_runtime.h"

// A three-component size: launch geometry and thread and block indices.
using Size3 = dim3;

extern Size3 gpuThreadIndex;
extern Size3 gpuBlockIndex;
extern Size3 gpuBlockSize;
extern Size3 gpuGridSize;
extern int gpuWarpSize;
