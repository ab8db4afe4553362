#include "step_settings.h"

#include <algorithm>
#include <thread>

#include "cuda_runtime.h"
#include "execution_model.h"
#include "parallel_launch.h"

static_assert(kMostStepWorkers == runtime_parallel::kMaxWorkers);

bool setStepWorkers(unsigned count) { return runtime_parallel::setWorkers(count); }

unsigned defaultStepWorkers(int n, unsigned cores) {
  const unsigned blocksPerLine = n > 0 ? static_cast<unsigned>(n + 2) / threads_per_block : 0;
  return std::clamp(std::min(cores, blocksPerLine), 1u, kMostStepWorkers);
}

void useDefaultStepWorkers(int n) {
  setStepWorkers(defaultStepWorkers(n, std::thread::hardware_concurrency()));
}

void chooseStartDevice() { (void)cudaSetDevice(2); }
