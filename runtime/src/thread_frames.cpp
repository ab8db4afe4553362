// A launch of 512 x 32 threads begins and ends 16384 frames, a block's worth alive at a time on
// each host thread; a frame that ends goes onto a free list for its size, and the next thread of
// that size takes it back. New frames are carved from the pool's arena first, so not even the
// first launch calls the host allocator; only blocks with more or larger frames than the arena
// holds take frames from the heap.
#include "thread_frames.h"

#include <new>

#include "device_thread.h"
#include "fault_injection.h"
#include "memory_poisoning.h"

namespace runtime_detail {

namespace {

// Plain data, never destroyed: frames stay usable until the process ends.
ThreadFramePool callerPool;
thread_local constinit ThreadFramePool* assignedPool = nullptr;
std::atomic<std::uint64_t> refused{0};

ThreadFramePool& poolOfThisThread() { return assignedPool ? *assignedPool : callerPool; }

}  // namespace

void* ThreadFramePool::newFrame(std::size_t granules) noexcept {
  const std::size_t bytes = granules * kGranule;
  if (granules <= kRecycledGranules && bytes <= kArenaBytes - arenaUsed_) {
    void* frame = arena_ + arenaUsed_;
    arenaUsed_ += bytes;
    return frame;
  }
  return ::operator new(bytes, std::nothrow);
}

void* ThreadFramePool::take(std::size_t bytes) noexcept {
  const std::size_t granules = granulesOf(bytes);
  if (granules <= kRecycledGranules && freeFrames_[granules] != nullptr) {
    FreeFrame* frame = freeFrames_[granules];
    freeFrames_[granules] = frame->next;
    VELMAR_UNPOISON(frame, granules * kGranule);
    return frame;
  }
  void* frame = nullptr;
  if (takeInjectedFault(runtime_testing::RuntimeCall::ThreadFrame) == cudaSuccess) {
    frame = newFrame(granules);
  }
  if (frame == nullptr) refused.fetch_add(1, std::memory_order_relaxed);
  return frame;
}

void ThreadFramePool::give(void* frame, std::size_t bytes) noexcept {
  const std::size_t granules = granulesOf(bytes);
  if (granules > kRecycledGranules) {  // never from the arena
    ::operator delete(frame);
    return;
  }
  auto* entry = static_cast<FreeFrame*>(frame);
  entry->next = freeFrames_[granules];
  freeFrames_[granules] = entry;
  // What is left of a finished thread must not be read.
  VELMAR_POISON(entry + 1, granules * kGranule - sizeof(FreeFrame));
}

void useThreadFramePool(ThreadFramePool* pool) noexcept { assignedPool = pool; }

void* takeThreadFrame(std::size_t bytes) noexcept { return poolOfThisThread().take(bytes); }

void giveThreadFrame(void* frame, std::size_t bytes) noexcept {
  poolOfThisThread().give(frame, bytes);
}

std::uint64_t threadFramesRefused() { return refused.load(std::memory_order_relaxed); }

}  // namespace runtime_detail
