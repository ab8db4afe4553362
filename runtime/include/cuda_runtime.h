// Our CUDA runtime layer: the calls of the runtime interface that the program makes, with a
// "device" that is host memory and kernels that run as host code, thread by thread, in a fixed,
// deterministic order. Nothing here knows what the kernels compute.
//
// Kernel threads run one at a time. A kernel that waits at block barriers is a coroutine
// (device_thread.h), so a block's threads run phase by phase, from one barrier to the next.
//
// Device addresses are 32 bits wide: every device buffer lives in the low 4 GiB of the address
// space, so a kernel argument that carries a buffer address fits one 4-byte argument slot.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device_thread.h"

enum cudaError_t : int {
  cudaSuccess = 0,
  cudaErrorInvalidValue = 1,
  cudaErrorMemoryAllocation = 2,
  cudaErrorInvalidConfiguration = 9,
  cudaErrorInvalidDevicePointer = 17,
  cudaErrorInvalidMemcpyDirection = 21,
  cudaErrorMissingConfiguration = 52,
  cudaErrorInvalidDeviceFunction = 98,
  cudaErrorInvalidDevice = 101,
  cudaErrorInvalidResourceHandle = 400,
  cudaErrorLaunchFailure = 719,
  cudaErrorNotPermitted = 800,
};

enum cudaMemcpyKind : int {
  cudaMemcpyHostToHost = 0,
  cudaMemcpyHostToDevice = 1,
  cudaMemcpyDeviceToHost = 2,
  cudaMemcpyDeviceToDevice = 3,
  cudaMemcpyDefault = 4,
};

// Three unsigned 32-bit components; launch sizes default unused dimensions to 1.
struct dim3 {
  std::uint32_t x, y, z;
  constexpr dim3(std::uint32_t x_ = 1, std::uint32_t y_ = 1, std::uint32_t z_ = 1)
      : x(x_), y(y_), z(z_) {}
};

using cudaStream_t = struct cudaStreamOpaque*;

// A kernel's entry as the runtime calls it: once per kernel thread, with the launch's record.
using cudaEntryThunk = void (*)(const void* argumentRecord);

// Bytes available for the arguments of one launch.
inline constexpr std::size_t kArgumentRecordCapacity = 4096;
// Largest number of threads in one block.
inline constexpr std::uint32_t kMaxThreadsPerBlock = 1024;

// Devices: there is exactly one, number 0.
cudaError_t cudaSetDevice(int device);

// Device memory.
cudaError_t cudaMalloc(void** devicePointer, std::size_t size);
cudaError_t cudaFree(void* devicePointer);
cudaError_t cudaMemcpy(void* destination, const void* source, std::size_t count,
                       cudaMemcpyKind kind);

// Launch path: configure exactly one next launch, fill its argument record, launch it.
cudaError_t cudaConfigureCall(dim3 gridSize, dim3 blockSize, std::size_t sharedMemory = 0,
                              cudaStream_t stream = nullptr);
cudaError_t cudaSetupArgument(const void* argument, std::size_t size, std::size_t offset);
cudaError_t cudaLaunch(const void* hostFunction);

// Registration of a module's kernels, keyed by the host launch function's identity.
void** __cudaRegisterFatBinary(void* image);
cudaError_t __cudaUnregisterFatBinary(void** module);
cudaError_t __cudaRegisterFunction(void** module, const void* hostFunction,
                                   cudaEntryThunk deviceFunction, const char* deviceName,
                                   int threadLimit, dim3* threadIndex, dim3* blockIndex,
                                   dim3* blockSize, dim3* gridSize, int* warpSize);

// The block barrier, awaited by kernel code with two null arguments in a kernel that returns
// cudaDeviceThread: `co_await __cudaSynchronizeThreads(nullptr, nullptr);`. Inline: a
// kernel that loops over a barrier crosses it once per thread and pass.
inline cudaBlockBarrier __cudaSynchronizeThreads(void*, void*) {
  return {runtime_detail::runningThreadParkingSlot};
}
