#include "thread_index.h"

thread_local constinit Size3 gpuThreadIndex(0, 0, 0);
thread_local constinit Size3 gpuBlockIndex(0, 0, 0);
thread_local constinit Size3 gpuBlockSize(0, 0, 0);
thread_local constinit Size3 gpuGridSize(0, 0, 0);
thread_local constinit int gpuWarpSize = 0;
