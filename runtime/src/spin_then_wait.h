// Waiting for another host thread's counter. What is awaited usually comes within
// microseconds, so a waiter first spins. Then it yields its core for a while, for the case of
// more workers than cores, where the thread it waits for may be the one waiting for the core;
// last it sleeps, so that a worker left idle between launches gives its core back.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace runtime_detail {

inline constexpr std::chrono::microseconds kSpinBeforeYielding{20};
inline constexpr std::chrono::microseconds kYieldBeforeSleeping{200};

inline void relaxWhileSpinning() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Spins, then yields, until `ready` accepts the value of `counter` (read with acquire ordering
// into `value`) or `patience` has passed; returns whether it was accepted.
template <class Ready>
bool spinUntil(const std::atomic<std::uint32_t>& counter, Ready ready, std::uint32_t& value,
               std::chrono::microseconds patience = kYieldBeforeSleeping) {
  value = counter.load(std::memory_order_acquire);
  if (ready(value)) return true;
  const auto start = std::chrono::steady_clock::now();
  for (unsigned spin = 1;; ++spin) {
    relaxWhileSpinning();
    value = counter.load(std::memory_order_acquire);
    if (ready(value)) return true;
    if (spin % 64 == 0 && std::chrono::steady_clock::now() - start > kSpinBeforeYielding) break;
  }
  do {
    std::this_thread::yield();
    value = counter.load(std::memory_order_acquire);
    if (ready(value)) return true;
  } while (std::chrono::steady_clock::now() - start < patience);
  return false;
}

// Returns the first value of `counter` that `ready` accepts, spinning first and then sleeping.
// The thread that changes the counter notifies it after each store. A wait that does not end
// at once adds its length to `waitedNs`.
template <class Ready>
std::uint32_t awaitCounter(const std::atomic<std::uint32_t>& counter, Ready ready,
                           std::uint64_t& waitedNs,
                           std::chrono::microseconds patience = kYieldBeforeSleeping) {
  std::uint32_t value = counter.load(std::memory_order_acquire);
  if (ready(value)) return value;
  const auto start = std::chrono::steady_clock::now();
  if (!spinUntil(counter, ready, value, patience)) {
    while (!ready(value)) {
      counter.wait(value, std::memory_order_acquire);
      value = counter.load(std::memory_order_acquire);
    }
  }
  waitedNs += static_cast<std::uint64_t>(
      std::chrono::nanoseconds(std::chrono::steady_clock::now() - start).count());
  return value;
}

// Stores `value` for the threads that await it.
inline void publishCounter(std::atomic<std::uint32_t>& counter, std::uint32_t value) {
  counter.store(value, std::memory_order_release);
  counter.notify_all();  // no system call unless somebody sleeps on it
}

}  // namespace runtime_detail
