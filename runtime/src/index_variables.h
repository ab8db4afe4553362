// The variables through which kernel threads learn who they are, as each host thread that runs
// blocks must write them. A registration hands their addresses over as the registering thread
// sees them; where they are thread-local, every other host thread has copies of its own.
#pragma once

#include <array>
#include <cstdint>

#include "cuda_runtime.h"
#include "thread_local_place.h"

namespace runtime_detail {

struct IndexVariables {
  dim3* threadIndex;
  dim3* blockIndex;
  dim3* blockSize;
  dim3* gridSize;
  int* warpSize;
};

// The registered variables and where each lies, found once on the registering thread.
class RegisteredIndexVariables {
 public:
  explicit RegisteredIndexVariables(const IndexVariables& registered);
  // The addresses as the registering thread handed them over.
  const IndexVariables& registered() const { return registered_; }
  // True when every variable is thread-local, so that several host threads may run blocks
  // of one launch without sharing any of them.
  bool allThreadLocal() const { return allThreadLocal_; }
  // The calling thread's own variables: process-wide ones as registered, thread-local ones
  // as this thread's copies.
  IndexVariables ofThisThread() const;

 private:
  IndexVariables registered_;
  std::array<ThreadLocalPlace, 5> places_;
  bool allThreadLocal_;
};

// One host thread's variables for the registration it last ran, so that launch after launch of
// the same kernels finds them without a search.
class IndexVariablesCache {
 public:
  const IndexVariables& of(const RegisteredIndexVariables& registration);

 private:
  const RegisteredIndexVariables* for_ = nullptr;
  std::uint64_t forGeneration_ = 0;
  IndexVariables variables_{};
};

// Registrations can end and their memory be reused: a new generation makes caches forget.
void forgetRegisteredIndexVariables();

}  // namespace runtime_detail
