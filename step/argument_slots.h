// The argument record of a launch: argument k of a kernel occupies the 4-byte slot at byte
// offset 4k. An int or float is stored as its bits; a device buffer address as its 32-bit
// value (the runtime keeps device memory below 4 GiB).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "cuda_runtime.h"

inline constexpr std::size_t kArgumentSlotBytes = 4;

template <typename T>
std::uint32_t toSlot(T value) {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
  } else {
    static_assert(sizeof(T) == kArgumentSlotBytes, "kernel arguments are 4-byte values");
    return std::bit_cast<std::uint32_t>(value);
  }
}

template <typename T>
T fromSlot(const void* record, std::size_t slot) {
  std::uint32_t bits;
  std::memcpy(&bits, static_cast<const unsigned char*>(record) + slot * kArgumentSlotBytes,
              sizeof bits);
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<T>(static_cast<std::uintptr_t>(bits));
  } else {
    return std::bit_cast<T>(bits);
  }
}

// Hands the arguments to the runtime one by one, stopping at the first refusal; then launches
// the kernel registered under `launchStub`. A refused argument silently cancels the launch.
template <typename... Args>
void setUpArgumentsAndLaunch(const void* launchStub, Args... args) {
  const std::uint32_t slots[] = {toSlot(args)...};
  for (std::size_t k = 0; k < sizeof...(Args); ++k) {
    if (cudaSetupArgument(&slots[k], kArgumentSlotBytes, k * kArgumentSlotBytes) != cudaSuccess) {
      return;
    }
  }
  cudaLaunch(launchStub);
}

// Reads the kernel's parameters from their slots and calls the kernel body with them. A kernel
// with a barrier returns a cudaDeviceThread, which holds nothing the thunk needs.
template <typename Result, typename... Params>
void callWithRecord(Result (*kernel)(Params...), const void* record) {
  [&]<std::size_t... k>(std::index_sequence<k...>) {
    kernel(fromSlot<Params>(record, k)...);
  }(std::index_sequence_for<Params...>{});
}
