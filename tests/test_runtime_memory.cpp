// Device memory of the runtime layer: separate from host memory, 32-bit addresses, and every
// bad call answered with a status instead of a crash or silent corruption.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cuda_runtime.h"
#include "runtime_testing.h"

namespace {

using runtime_testing::RuntimeCall;

constexpr std::size_t kBytes = 65536;

TEST(DeviceMemory, CopiesRoundTripThroughSeparateDeviceBuffer) {
  std::vector<float> host(kBytes / sizeof(float));
  for (std::size_t k = 0; k < host.size(); ++k) host[k] = static_cast<float>(k) * 0.5f;

  void* device = nullptr;
  ASSERT_EQ(cudaMalloc(&device, kBytes), cudaSuccess);
  ASSERT_NE(device, nullptr);
  EXPECT_NE(device, static_cast<void*>(host.data()));
  // Device addresses fit one 4-byte argument slot.
  EXPECT_LT(reinterpret_cast<std::uintptr_t>(device) + kBytes, std::uintptr_t{1} << 32);

  ASSERT_EQ(cudaMemcpy(device, host.data(), kBytes, cudaMemcpyHostToDevice), cudaSuccess);
  const std::vector<float> original = host;
  host.assign(host.size(), -1.0f);  // the device copy must not follow the host
  std::vector<float> back(host.size());
  ASSERT_EQ(cudaMemcpy(back.data(), device, kBytes, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back, original);

  // A copy inside the buffer, at an offset, is fine.
  float quarter = 0.0f;
  ASSERT_EQ(cudaMemcpy(&quarter, static_cast<char*>(device) + 8, sizeof quarter,
                       cudaMemcpyDeviceToHost),
            cudaSuccess);
  EXPECT_EQ(quarter, 1.0f);
  EXPECT_EQ(cudaFree(device), cudaSuccess);
}

TEST(DeviceMemory, BadCallsReturnNonzeroAndTouchNothing) {
  void* device = nullptr;
  ASSERT_EQ(cudaMalloc(&device, kBytes), cudaSuccess);
  std::vector<unsigned char> host(2 * kBytes, 7);

  EXPECT_EQ(cudaMalloc(nullptr, kBytes), cudaErrorInvalidValue);
  // Unknown and unsupported copy kinds.
  for (int kind : {0, 3, 4, 5, -1}) {
    EXPECT_EQ(cudaMemcpy(device, host.data(), 16, static_cast<cudaMemcpyKind>(kind)),
              cudaErrorInvalidMemcpyDirection)
        << "kind " << kind;
  }
  // Beyond the buffer, from the start or from an offset.
  EXPECT_EQ(cudaMemcpy(device, host.data(), kBytes + 1, cudaMemcpyHostToDevice),
            cudaErrorInvalidDevicePointer);
  EXPECT_EQ(cudaMemcpy(host.data(), static_cast<char*>(device) + 16, kBytes - 8,
                       cudaMemcpyDeviceToHost),
            cudaErrorInvalidDevicePointer);
  // A host address where a device address belongs, in either direction.
  EXPECT_EQ(cudaMemcpy(host.data(), host.data() + 64, 16, cudaMemcpyHostToDevice),
            cudaErrorInvalidDevicePointer);
  EXPECT_EQ(cudaMemcpy(host.data(), host.data() + 64, 16, cudaMemcpyDeviceToHost),
            cudaErrorInvalidDevicePointer);
  EXPECT_EQ(cudaMemcpy(device, nullptr, 16, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(host.data()), cudaErrorInvalidDevicePointer);
  EXPECT_EQ(cudaFree(static_cast<char*>(device) + 4), cudaErrorInvalidDevicePointer);
  EXPECT_EQ(std::vector<unsigned char>(host.begin(), host.end()),
            std::vector<unsigned char>(2 * kBytes, 7));

  ASSERT_EQ(cudaFree(device), cudaSuccess);
  EXPECT_EQ(cudaFree(device), cudaErrorInvalidDevicePointer) << "double free";
  EXPECT_EQ(cudaMemcpy(device, host.data(), 16, cudaMemcpyHostToDevice),
            cudaErrorInvalidDevicePointer)
      << "copy into a freed buffer";
  EXPECT_EQ(cudaFree(nullptr), cudaSuccess);
}

TEST(DeviceMemory, FreedBuffersAreReusedAndListedInAllocationOrder) {
  const auto before = runtime_testing::liveAllocations().size();
  void* first = nullptr;
  void* second = nullptr;
  ASSERT_EQ(cudaMalloc(&first, kBytes), cudaSuccess);
  ASSERT_EQ(cudaMalloc(&second, 100), cudaSuccess);
  auto live = runtime_testing::liveAllocations();
  ASSERT_EQ(live.size(), before + 2);
  EXPECT_EQ(live[before].address, reinterpret_cast<std::uintptr_t>(first));
  EXPECT_EQ(live[before].size, kBytes);
  EXPECT_EQ(live[before + 1].address, reinterpret_cast<std::uintptr_t>(second));
  EXPECT_EQ(live[before + 1].size, 100u);

  // A buffer of the requested size, not of its page-rounded mapping.
  std::vector<unsigned char> host(200);
  EXPECT_EQ(cudaMemcpy(second, host.data(), 101, cudaMemcpyHostToDevice),
            cudaErrorInvalidDevicePointer);

  ASSERT_EQ(cudaFree(first), cudaSuccess);
  void* again = nullptr;
  ASSERT_EQ(cudaMalloc(&again, kBytes), cudaSuccess);
  EXPECT_EQ(again, first) << "a freed buffer of the same size is recycled";
  EXPECT_EQ(cudaFree(again), cudaSuccess);
  EXPECT_EQ(cudaFree(second), cudaSuccess);
  EXPECT_EQ(runtime_testing::liveAllocations().size(), before);
}

TEST(FaultInjection, FailsExactlyTheChosenCallsWithoutSideEffects) {
  runtime_testing::injectFault(RuntimeCall::Malloc, 2, cudaErrorMemoryAllocation);
  void* a = nullptr;
  void* b = reinterpret_cast<void*>(0x1);
  ASSERT_EQ(cudaMalloc(&a, kBytes), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&b, kBytes), cudaErrorMemoryAllocation);
  EXPECT_EQ(b, reinterpret_cast<void*>(0x1)) << "a failed call writes nothing";
  void* c = nullptr;
  EXPECT_EQ(cudaMalloc(&c, kBytes), cudaSuccess) << "only the second call fails";

  runtime_testing::injectFault(RuntimeCall::Memcpy, 1, cudaErrorLaunchFailure, 2);
  float value = 3.0f;
  EXPECT_EQ(cudaMemcpy(a, &value, sizeof value, cudaMemcpyHostToDevice), cudaErrorLaunchFailure);
  EXPECT_EQ(cudaMemcpy(a, &value, sizeof value, cudaMemcpyHostToDevice), cudaErrorLaunchFailure);
  EXPECT_EQ(cudaMemcpy(a, &value, sizeof value, cudaMemcpyHostToDevice), cudaSuccess);

  runtime_testing::injectFault(RuntimeCall::Free, 1, cudaErrorInvalidValue);
  runtime_testing::clearFaults();
  EXPECT_EQ(cudaFree(a), cudaSuccess) << "cleared faults do not fire";

  runtime_testing::injectFault(RuntimeCall::Free, 1, cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(c), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(c), cudaSuccess) << "the failed free left the buffer allocated";
  runtime_testing::clearFaults();
}

TEST(DeviceSelection, OnlyDeviceZeroExists) {
  EXPECT_EQ(cudaSetDevice(0), cudaSuccess);
  EXPECT_EQ(cudaSetDevice(2), cudaErrorInvalidDevice);
  EXPECT_EQ(cudaSetDevice(-1), cudaErrorInvalidDevice);
}

}  // namespace
