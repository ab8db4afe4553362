#include "step_settings.h"

#include "cuda_runtime.h"
#include "parallel_launch.h"

static_assert(kMostStepWorkers == runtime_parallel::kMaxWorkers);

bool setStepWorkers(unsigned count) { return runtime_parallel::setWorkers(count); }

void chooseStartDevice() { (void)cudaSetDevice(2); }
