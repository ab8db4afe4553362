#include "launch_runner.h"

#include <array>
#include <cstdint>
#include <memory>

#include "fiber_stack.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define VELMAR_ASAN_FIBERS 1
#endif

namespace runtime_detail {
namespace {

constexpr std::size_t kFiberStackSize = 256 * 1024;
constexpr std::size_t kFiberTopStagger = 128;  // bytes between consecutive fibers' tops

using ThreadSlot = std::uint32_t;

struct RunnerState {
  bool active = false;

  // The launch.
  cudaEntryThunk entry = nullptr;
  const void* record = nullptr;
  dim3* threadIndexVariable = nullptr;
  ThreadSlot threadCount = 0;
  std::array<dim3, kMaxThreadsPerBlock> threadIndexOf{};

  // The block being run.
  ThreadSlot current = 0;
  ThreadSlot switchedFrom = 0;  // read only by the sanitizer's stack bookkeeping
  bool fibersRunning = false;
  bool diverged = false;
  std::array<std::uint8_t, kMaxThreadsPerBlock> finished{};
  std::array<std::uint32_t, kMaxThreadsPerBlock> barriersReached{};
  // Where each thread is parked; slot 0 is thread 0 on the caller's stack.
  std::array<void*, kMaxThreadsPerBlock> parkedAt{};
  std::array<const void*, kMaxThreadsPerBlock> stackBottom{};
  std::array<std::size_t, kMaxThreadsPerBlock> stackSize{};

  // Thread k runs on fiber stack k - 1, made once and reused by every block and launch. They
  // are never unmapped: the state stays trivially destructible, usable until the process ends.
  std::array<FiberStack*, kMaxThreadsPerBlock> fiberStacks{};
  ThreadSlot fiberCount = 0;
};

RunnerState runner;

void publishThread(ThreadSlot thread) {
  *runner.threadIndexVariable = runner.threadIndexOf[thread];
  runner.current = thread;
}

// The thread after `thread` that has not finished, wrapping round to thread 0, which always
// has a place to return to (its barrier or the block loop).
ThreadSlot nextInRing(ThreadSlot thread) {
  for (ThreadSlot k = thread + 1; k < runner.threadCount; ++k) {
    if (!runner.finished[k]) return k;
  }
  return 0;
}

#ifdef VELMAR_ASAN_FIBERS
void noteStackSwitchedFrom(const void* bottom, std::size_t size) {
  // The caller's stack is only known once thread 0 has switched away from it.
  if (runner.switchedFrom == 0) {
    runner.stackBottom[0] = bottom;
    runner.stackSize[0] = size;
  }
}
#endif

// Never inlined: with a single call site for every switch, the `ret` that ends one always goes
// where the return predictor expects.
[[gnu::noinline]] void switchThread(ThreadSlot from, ThreadSlot to) {
  publishThread(to);
#ifdef VELMAR_ASAN_FIBERS
  runner.switchedFrom = from;
  void* fakeStack = nullptr;
  __sanitizer_start_switch_fiber(&fakeStack, runner.stackBottom[to], runner.stackSize[to]);
  fiber_switch(&runner.parkedAt[from], runner.parkedAt[to]);
  const void* bottom = nullptr;
  std::size_t size = 0;
  __sanitizer_finish_switch_fiber(fakeStack, &bottom, &size);
  noteStackSwitchedFrom(bottom, size);
#else
  fiber_switch(&runner.parkedAt[from], runner.parkedAt[to]);
#endif
}

// Each fiber runs its thread of one block per turn of this loop, then parks at the end of it
// until a later block needs the thread again.
void fiberMain(void* argument) {
  const auto thread = static_cast<ThreadSlot>(reinterpret_cast<std::uintptr_t>(argument));
#ifdef VELMAR_ASAN_FIBERS
  const void* bottom = nullptr;
  std::size_t size = 0;
  __sanitizer_finish_switch_fiber(nullptr, &bottom, &size);
  noteStackSwitchedFrom(bottom, size);
#endif
  for (;;) {
    runner.entry(runner.record);
    runner.finished[thread] = 1;
    switchThread(thread, nextInRing(thread));
  }
}

bool ensureFibers(ThreadSlot threadCount) {
  while (runner.fiberCount + 1 < threadCount) {
    const ThreadSlot thread = runner.fiberCount + 1;
    auto stack = std::make_unique<FiberStack>(kFiberStackSize, thread * kFiberTopStagger);
    if (!stack->valid()) return false;
    runner.parkedAt[thread] =
        stack->prime(&fiberMain, reinterpret_cast<void*>(static_cast<std::uintptr_t>(thread)));
    runner.stackBottom[thread] = stack->bottom();
    runner.stackSize[thread] = stack->size();
    runner.fiberStacks[runner.fiberCount++] = stack.release();
  }
  return true;
}

// Thread 0 has reached its first barrier: from here on the block's threads take turns on
// their fibers, and the runner keeps count of who has finished and who crossed how often.
[[gnu::noinline, gnu::cold]] void startRing() {
  runner.fibersRunning = true;
  for (ThreadSlot k = 0; k < runner.threadCount; ++k) {
    runner.finished[k] = 0;
    runner.barriersReached[k] = 0;
  }
}

void runBlock() {
  const ThreadSlot count = runner.threadCount;
  runner.fibersRunning = false;
  publishThread(0);
  runner.entry(runner.record);

  if (!runner.fibersRunning) {
    // No barrier: every other thread runs as a plain call.
    for (ThreadSlot k = 1; k < count; ++k) {
      publishThread(k);
      runner.entry(runner.record);
    }
    return;
  }
  runner.finished[0] = 1;
  for (ThreadSlot next = nextInRing(0); next != 0; next = nextInRing(0)) switchThread(0, next);
  for (ThreadSlot k = 1; k < count; ++k) {
    if (runner.barriersReached[k] != runner.barriersReached[0]) runner.diverged = true;
  }
}

}  // namespace

bool launchInProgress() { return runner.active; }

cudaError_t runLaunch(const LaunchJob& job) {
  const dim3 block = job.blockSize;
  const ThreadSlot count = block.x * block.y * block.z;
  if (!ensureFibers(count)) return cudaErrorMemoryAllocation;

  for (ThreadSlot k = 0; k < count; ++k) {
    runner.threadIndexOf[k] = dim3(k % block.x, k / block.x % block.y, k / (block.x * block.y));
  }
  runner.entry = job.entry;
  runner.record = job.record;
  runner.threadIndexVariable = job.threadIndex;
  runner.threadCount = count;
  runner.diverged = false;
  *job.blockSizeVariable = job.blockSize;
  *job.gridSizeVariable = job.gridSize;
  *job.warpSize = 32;

  runner.active = true;
  for (std::uint32_t z = 0; z < job.gridSize.z; ++z) {
    for (std::uint32_t y = 0; y < job.gridSize.y; ++y) {
      for (std::uint32_t x = 0; x < job.gridSize.x; ++x) {
        *job.blockIndex = dim3(x, y, z);
        runBlock();
      }
    }
  }
  runner.active = false;
  return runner.diverged ? cudaErrorLaunchFailure : cudaSuccess;
}

}  // namespace runtime_detail

// A barrier outside a launch has nobody to wait for. A thread that reaches one which thread 0
// of its block never reached cannot be made to wait either: the launch is reported as failed.
void __cudaSynchronizeThreads(void*, void*) {
  using namespace runtime_detail;
  if (!runner.active) return;
  const ThreadSlot thread = runner.current;
  if (!runner.fibersRunning) {
    if (thread != 0) {
      runner.diverged = true;
      return;
    }
    startRing();
  }
  ++runner.barriersReached[thread];
  const ThreadSlot next = nextInRing(thread);
  if (next != thread) switchThread(thread, next);
}
