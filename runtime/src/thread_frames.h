// Frames of kernel threads that wait at barriers, pooled per host thread: each host thread that
// runs blocks recycles its own frames, so no two of them ever share a free list.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace runtime_detail {

class ThreadFramePool {
 public:
  void* take(std::size_t bytes) noexcept;
  void give(void* frame, std::size_t bytes) noexcept;

 private:
  static constexpr std::size_t kGranule = 64;           // frame sizes are rounded up to this
  static constexpr std::size_t kRecycledGranules = 64;  // frames up to 4 KiB are recycled
  static constexpr std::size_t kArenaBytes = 64 * 1024;

  struct FreeFrame {
    FreeFrame* next;
  };

  static std::size_t granulesOf(std::size_t bytes) { return (bytes + kGranule - 1) / kGranule; }
  void* newFrame(std::size_t granules) noexcept;

  std::array<FreeFrame*, kRecycledGranules + 1> freeFrames_{};
  alignas(kGranule) unsigned char arena_[kArenaBytes];
  std::size_t arenaUsed_ = 0;
};

// Makes `pool` the one the calling host thread takes frames from; without a call, a thread
// uses the process's own pool (the thread that makes launches).
void useThreadFramePool(ThreadFramePool* pool) noexcept;

// How many thread frames the pools could not provide, for the runner to tell a launch whose
// threads all ran from one where some never started.
std::uint64_t threadFramesRefused();

}  // namespace runtime_detail
