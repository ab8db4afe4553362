// Waiting for another host thread without the kernel's help in the steady state. A waiter
// spins a little, since what it waits for usually comes within microseconds; then it says on
// a word of its own that it sleeps, and sleeps on that word. A thread that makes progress
// looks at one count of sleepers and wakes words only when somebody sleeps, so neither side
// makes a system call while everybody is awake.
#pragma once

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace runtime_detail {

// What a sleeping thread waits for, so that progress of one kind wakes only its own waiters.
enum SleepReason : std::uint32_t {
  kAwake = 0,
  kSleepsForLaunch = 1,  // an idle worker, until the next launch is offered
  kSleepsForTile = 2,    // a thread inside a launch, until a tile is ready or all are done
};

struct alignas(64) SleepWord {
  std::atomic<std::uint32_t> reason{kAwake};
};

inline void relaxWhileSpinning() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Spins until `ready()` or until `patience` has passed; returns whether it became ready.
template <class Ready>
bool spinUntil(Ready ready, std::chrono::nanoseconds patience) {
  if (ready()) return true;
  if (patience.count() <= 0) return false;
  const auto start = std::chrono::steady_clock::now();
  for (unsigned spin = 1;; ++spin) {
    relaxWhileSpinning();
    if (ready()) return true;
    if (spin % 32 == 0 && std::chrono::steady_clock::now() - start > patience) return false;
  }
}

// Sleeps on `me` until `ready()`, counted in `sleepers` meanwhile. `ready` reads with at least
// acquire ordering what the thread that makes progress stores before calling wakeIfSleeping().
template <class Ready>
void sleepUntil(SleepWord& me, SleepReason reason, std::atomic<std::uint32_t>& sleepers,
                Ready ready) {
  sleepers.fetch_add(1, std::memory_order_relaxed);
  for (;;) {
    me.reason.store(reason, std::memory_order_relaxed);
    // Either the thread that makes progress sees this word and the count, or this thread sees
    // its progress: the two fences order the stores before them against the loads after.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (ready()) break;
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&me.reason), FUTEX_WAIT_PRIVATE, reason,
            nullptr, nullptr, 0);
  }
  me.reason.store(kAwake, std::memory_order_relaxed);
  sleepers.fetch_sub(1, std::memory_order_relaxed);
}

// Called by a thread that has just stored progress: whether anybody may sleep waiting for it.
inline bool anybodySleeps(const std::atomic<std::uint32_t>& sleepers) {
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return sleepers.load(std::memory_order_relaxed) != 0;
}

// Wakes the thread of `word` if it sleeps for `reason`; returns whether it did.
inline bool wakeIfSleeping(SleepWord& word, SleepReason reason) {
  std::uint32_t expected = reason;
  if (word.reason.load(std::memory_order_relaxed) != reason ||
      !word.reason.compare_exchange_strong(expected, kAwake, std::memory_order_relaxed)) {
    return false;
  }
  syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word.reason), FUTEX_WAKE_PRIVATE, 1,
          nullptr, nullptr, 0);
  return true;
}

}  // namespace runtime_detail
