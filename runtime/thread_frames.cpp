// Frames of kernel threads that wait at barriers. A launch of 512 x 32 threads begins and ends
// 16384 of them, a block's worth alive at a time; a frame that ends goes onto a free list for
// its size, and the next thread of that size takes it back. New frames are carved from a static
// arena first, so not even the first launch calls the host allocator; only blocks with more or
// larger frames than the arena holds take frames from the heap.
#include "thread_frames.h"

#include <array>
#include <new>

#include "device_thread.h"
#include "fault_injection.h"
#include "memory_poisoning.h"

namespace {

constexpr std::size_t kGranule = 64;           // frame sizes are rounded up to this
constexpr std::size_t kRecycledGranules = 64;  // frames up to 4 KiB are recycled
constexpr std::size_t kArenaBytes = 64 * 1024;

struct FreeFrame {
  FreeFrame* next;
};

// Plain arrays, never destroyed: frames stay usable until the process ends.
std::array<FreeFrame*, kRecycledGranules + 1> freeFrames{};
alignas(kGranule) unsigned char arena[kArenaBytes];
std::size_t arenaUsed = 0;
std::uint64_t refused = 0;

std::size_t granulesOf(std::size_t bytes) { return (bytes + kGranule - 1) / kGranule; }

void* newFrame(std::size_t granules) {
  const std::size_t bytes = granules * kGranule;
  if (granules <= kRecycledGranules && bytes <= kArenaBytes - arenaUsed) {
    void* frame = arena + arenaUsed;
    arenaUsed += bytes;
    return frame;
  }
  return ::operator new(bytes, std::nothrow);
}

}  // namespace

namespace runtime_detail {

void* takeThreadFrame(std::size_t bytes) noexcept {
  const std::size_t granules = granulesOf(bytes);
  if (granules <= kRecycledGranules && freeFrames[granules] != nullptr) {
    FreeFrame* frame = freeFrames[granules];
    freeFrames[granules] = frame->next;
    VELMAR_UNPOISON(frame, granules * kGranule);
    return frame;
  }
  void* frame = nullptr;
  if (takeInjectedFault(runtime_testing::RuntimeCall::ThreadFrame) == cudaSuccess) {
    frame = newFrame(granules);
  }
  if (frame == nullptr) ++refused;
  return frame;
}

void giveThreadFrame(void* frame, std::size_t bytes) noexcept {
  const std::size_t granules = granulesOf(bytes);
  if (granules > kRecycledGranules) {  // never from the arena
    ::operator delete(frame);
    return;
  }
  auto* entry = static_cast<FreeFrame*>(frame);
  entry->next = freeFrames[granules];
  freeFrames[granules] = entry;
  // What is left of a finished thread must not be read.
  VELMAR_POISON(entry + 1, granules * kGranule - sizeof(FreeFrame));
}

std::uint64_t threadFramesRefused() { return refused; }

}  // namespace runtime_detail
