// Runs blocks of a launch on the calling host thread, each block in the reference order:
// threads 0, 1, ... each run up to their next block barrier or their end, in turn, then all
// those waiting at the barrier continue the same way. A kernel without a barrier therefore runs
// as one plain call per thread.
#pragma once

#include <array>
#include <coroutine>
#include <cstdint>

#include "cuda_runtime.h"
#include "index_variables.h"

namespace runtime_detail {

class BlockRunner {
 public:
  // Makes ready for blocks of a launch of `entry` with `record`, and writes the launch's sizes
  // into `variables`, which must be the calling thread's own.
  void begin(cudaEntryThunk entry, const void* record, dim3 gridSize, dim3 blockSize,
             const IndexVariables& variables);
  void runBlock(dim3 blockIndex);
  // Whether the threads of some block run since begin() reached a barrier unequally often.
  bool diverged() const { return diverged_; }

 private:
  void publishThread(std::uint32_t thread);

  cudaEntryThunk entry_ = nullptr;
  const void* record_ = nullptr;
  dim3* threadIndexVariable_ = nullptr;
  dim3* blockIndexVariable_ = nullptr;
  std::uint32_t threadCount_ = 0;
  bool diverged_ = false;
  std::array<dim3, kMaxThreadsPerBlock> threadIndexOf_{};
  // The block being run: who waits at the barrier.
  std::array<std::coroutine_handle<>, kMaxThreadsPerBlock> parked_{};
};

// The block with flat number `number` in a grid, x fastest.
inline dim3 blockAt(std::uint64_t number, dim3 grid) {
  return dim3(static_cast<std::uint32_t>(number % grid.x),
              static_cast<std::uint32_t>(number / grid.x % grid.y),
              static_cast<std::uint32_t>(number / (std::uint64_t{grid.x} * grid.y)));
}

}  // namespace runtime_detail
