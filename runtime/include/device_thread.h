// Kernel threads that wait at block barriers. Such a kernel is a C++ coroutine: it returns
// cudaDeviceThread and waits with `co_await __cudaSynchronizeThreads(nullptr, nullptr)`. At the
// barrier the thread's frame is left parked and its call returns to the runner, which runs the
// block's other threads up to the same barrier and then resumes them in turn. Waiting costs a
// return and a later call, and the threads need no stacks of their own.
#pragma once

#include <coroutine>
#include <cstddef>
#include <exception>

namespace runtime_detail {

// Frames come from a static arena and are recycled by size, so launches take no host memory
// for them. A refused frame returns null; the thread then does not run and its launch fails.
void* takeThreadFrame(std::size_t bytes) noexcept;
void giveThreadFrame(void* frame, std::size_t bytes) noexcept;

// Where the running kernel thread parks when it reaches a barrier; null outside a launch, where
// a barrier has nobody to wait for. Only the runner sets it.
extern thread_local constinit std::coroutine_handle<>* runningThreadParkingSlot;

}  // namespace runtime_detail

// What a kernel with a block barrier returns. It holds nothing: the runner keeps each parked
// thread, and a thread's frame goes back to the pool as soon as the thread ends.
struct cudaDeviceThread {
  struct promise_type {
    cudaDeviceThread get_return_object() noexcept { return {}; }
    static cudaDeviceThread get_return_object_on_allocation_failure() noexcept { return {}; }
    std::suspend_never initial_suspend() noexcept { return {}; }
    std::suspend_never final_suspend() noexcept { return {}; }
    void return_void() noexcept {}
    // Kernels report nothing; an exception escaping one is a bug in it.
    void unhandled_exception() noexcept { std::terminate(); }

    static void* operator new(std::size_t bytes) noexcept {
      return runtime_detail::takeThreadFrame(bytes);
    }
    static void operator delete(void* frame, std::size_t bytes) noexcept {
      runtime_detail::giveThreadFrame(frame, bytes);
    }
  };
};

// The block barrier as a thread awaits it: it parks the thread in the slot the runner gave it,
// or, outside a launch, lets it go straight on.
struct [[nodiscard]] cudaBlockBarrier {
  std::coroutine_handle<>* parkingSlot = nullptr;

  bool await_ready() const noexcept { return parkingSlot == nullptr; }
  void await_suspend(std::coroutine_handle<> thread) const noexcept { *parkingSlot = thread; }
  void await_resume() const noexcept {}
};
