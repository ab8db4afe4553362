// A fiber's stack: mapped once, with a guard page below it, and primed so that the first
// switch onto it calls an entry function.
#pragma once

#include <cstddef>

extern "C" void fiber_switch(void** saveStackPointer, void* targetStackPointer);

namespace runtime_detail {

class FiberStack {
 public:
  // `topOffset` shifts the stack's top so that different fibers' tops fall in different
  // cache sets. Check valid() afterwards: the mapping can fail.
  FiberStack(std::size_t usableSize, std::size_t topOffset);
  ~FiberStack();
  FiberStack(const FiberStack&) = delete;
  FiberStack& operator=(const FiberStack&) = delete;

  bool valid() const { return base_ != nullptr; }
  const void* bottom() const { return usableBottom_; }
  std::size_t size() const { return usableSize_; }

  // Returns the stack pointer whose first switch runs entry(argument); entry never returns.
  void* prime(void (*entry)(void*), void* argument);

 private:
  void* base_ = nullptr;
  std::size_t mappedSize_ = 0;
  char* usableBottom_ = nullptr;
  std::size_t usableSize_ = 0;
  char* top_ = nullptr;
  unsigned valgrindStackId_ = 0;
};

}  // namespace runtime_detail
