#include "thread_index.h"

Size3 gpuThreadIndex(0, 0, 0);
Size3 gpuBlockIndex(0, 0, 0);
Size3 gpuBlockSize(0, 0, 0);
Size3 gpuGridSize(0, 0, 0);
int gpuWarpSize = 0;
