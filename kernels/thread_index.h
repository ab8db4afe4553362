// The index variables through which the runtime tells each kernel thread who it is. The
// runtime writes them before a thread runs or resumes; the program only reads them. They are
// thread-local, so that the runtime may run blocks on several host threads at once, each
// thread with its own.
#pragma once

#include "cuda_runtime.h"

// A three-component size: launch geometry and thread and block indices.
using Size3 = dim3;

extern thread_local constinit Size3 gpuThreadIndex;
extern thread_local constinit Size3 gpuBlockIndex;
extern thread_local constinit Size3 gpuBlockSize;
extern thread_local constinit Size3 gpuGridSize;
extern thread_local constinit int gpuWarpSize;
