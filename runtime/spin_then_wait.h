// Waiting for another host thread's counter. What is awaited usually comes within
// microseconds, so a waiter first spins; only then does it sleep, so that a worker left idle
// between launches gives its core back.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace runtime_detail {

inline constexpr std::chrono::microseconds kSpinBeforeSleeping{200};

inline void relaxWhileSpinning() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Returns the first value of `counter` that `ready` accepts, read with acquire ordering. The
// thread that changes the counter notifies it after each store.
template <class Ready>
std::uint32_t awaitCounter(const std::atomic<std::uint32_t>& counter, Ready ready) {
  std::uint32_t value = counter.load(std::memory_order_acquire);
  if (ready(value)) return value;
  const auto giveUp = std::chrono::steady_clock::now() + kSpinBeforeSleeping;
  for (unsigned spin = 1;; ++spin) {
    relaxWhileSpinning();
    value = counter.load(std::memory_order_acquire);
    if (ready(value)) return value;
    if (spin % 64 == 0 && std::chrono::steady_clock::now() > giveUp) break;
  }
  while (!ready(value)) {
    counter.wait(value, std::memory_order_acquire);
    value = counter.load(std::memory_order_acquire);
  }
  return value;
}

// Stores `value` for the threads that await it.
inline void publishCounter(std::atomic<std::uint32_t>& counter, std::uint32_t value) {
  counter.store(value, std::memory_order_release);
  counter.notify_all();  // no system call unless somebody sleeps on it
}

}  // namespace runtime_detail
