#include "index_variables.h"

#include <atomic>

namespace runtime_detail {

namespace {

std::atomic<std::uint64_t> generation{1};

// A thread-local variable is always this thread's own copy, never the registering thread's.
template <class T>
T* copyOnThisThread(T* registered, ThreadLocalPlace place) {
  return place.module == 0 ? registered : static_cast<T*>(threadLocalAt(place));
}

}  // namespace

RegisteredIndexVariables::RegisteredIndexVariables(const IndexVariables& registered)
    : registered_(registered),
      places_{locateThreadLocal(registered.threadIndex), locateThreadLocal(registered.blockIndex),
              locateThreadLocal(registered.blockSize), locateThreadLocal(registered.gridSize),
              locateThreadLocal(registered.warpSize)},
      allThreadLocal_(true) {
  for (const ThreadLocalPlace& place : places_) allThreadLocal_ = allThreadLocal_ && place.module;
}

IndexVariables RegisteredIndexVariables::ofThisThread() const {
  return {copyOnThisThread(registered_.threadIndex, places_[0]),
          copyOnThisThread(registered_.blockIndex, places_[1]),
          copyOnThisThread(registered_.blockSize, places_[2]),
          copyOnThisThread(registered_.gridSize, places_[3]),
          copyOnThisThread(registered_.warpSize, places_[4])};
}

const IndexVariables& IndexVariablesCache::of(const RegisteredIndexVariables& registration) {
  const std::uint64_t now = generation.load(std::memory_order_acquire);
  if (for_ != &registration || forGeneration_ != now) {
    variables_ = registration.ofThisThread();
    for_ = &registration;
    forGeneration_ = now;
  }
  return variables_;
}

void forgetRegisteredIndexVariables() { generation.fetch_add(1, std::memory_order_acq_rel); }

}  // namespace runtime_detail
