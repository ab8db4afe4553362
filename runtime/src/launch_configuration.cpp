// The launch path: cudaConfigureCall sets up exactly one next launch, cudaSetupArgument fills
// that launch's argument record, cudaLaunch consumes the configuration and runs the kernel
// registered for the host function it is given.
#include <array>
#include <cstring>
#include <functional>

#include "fault_injection.h"
#include "launch_runner.h"
#include "parallel_launch.h"
#include "registration_table.h"

namespace {

using runtime_testing::RuntimeCall;

constexpr std::size_t kMaxSharedMemory = 48 * 1024;
constexpr std::uint32_t kMaxGridYZ = 65535;

struct PendingLaunch {
  bool configured = false;
  bool argumentRefused = false;
  dim3 gridSize;
  dim3 blockSize;
  std::uint32_t threadsPerLine = 0;  // declared neighbour lines, 0 if none
  std::size_t recordBytes = 0;  // highest byte set up so far; every byte beyond it is zero
  std::array<unsigned char, kArgumentRecordCapacity> record{};
};

PendingLaunch pending;
// The record a running launch reads; separate, so that set-up for the next launch cannot
// change the arguments of one in progress. Zero beyond runningBytes, like the pending record.
std::array<unsigned char, kArgumentRecordCapacity> runningRecord{};
std::size_t runningBytes = 0;

using LaunchObserver = std::function<void(const runtime_testing::LaunchObservation&)>;
// Never destroyed, so that a launch made from an exit routine still finds it.
LaunchObserver& launchObserver() {
  static LaunchObserver& observer = *new LaunchObserver;
  return observer;
}

bool validConfiguration(dim3 grid, dim3 block) {
  if (grid.x == 0 || grid.y == 0 || grid.z == 0) return false;
  if (block.x == 0 || block.y == 0 || block.z == 0) return false;
  if (grid.y > kMaxGridYZ || grid.z > kMaxGridYZ) return false;
  const std::uint64_t threads = std::uint64_t{block.x} * block.y * block.z;
  return threads <= kMaxThreadsPerBlock;
}

}  // namespace

cudaError_t cudaConfigureCall(dim3 gridSize, dim3 blockSize, std::size_t sharedMemory,
                              cudaStream_t stream) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::ConfigureCall)) {
    return fault;
  }
  if (stream != nullptr) return cudaErrorInvalidResourceHandle;  // only the default stream
  if (!validConfiguration(gridSize, blockSize) || sharedMemory > kMaxSharedMemory) {
    return cudaErrorInvalidConfiguration;
  }
  pending.configured = true;
  pending.argumentRefused = false;
  pending.gridSize = gridSize;
  pending.blockSize = blockSize;
  pending.threadsPerLine = 0;
  // A fresh record: a slot this launch never sets reads zero, not an earlier launch's bytes.
  std::memset(pending.record.data(), 0, pending.recordBytes);
  pending.recordBytes = 0;
  return cudaSuccess;
}

cudaError_t cudaSetupArgument(const void* argument, std::size_t size, std::size_t offset) {
  cudaError_t status = runtime_detail::takeInjectedFault(RuntimeCall::SetupArgument);
  if (status == cudaSuccess) {
    if (!pending.configured) return cudaErrorMissingConfiguration;
    const bool fits = offset <= kArgumentRecordCapacity && size <= kArgumentRecordCapacity - offset;
    if (argument == nullptr || size == 0 || !fits) status = cudaErrorInvalidValue;
  }
  if (status != cudaSuccess) {
    // The launch cannot run with a hole in its record, even if its caller tried.
    pending.argumentRefused = true;
    return status;
  }
  std::memcpy(pending.record.data() + offset, argument, size);
  if (offset + size > pending.recordBytes) pending.recordBytes = offset + size;
  return cudaSuccess;
}

cudaError_t cudaLaunch(const void* hostFunction) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::Launch)) {
    pending.configured = false;
    return fault;
  }
  if (runtime_detail::launchInProgress()) return cudaErrorNotPermitted;
  if (!pending.configured) return cudaErrorMissingConfiguration;
  pending.configured = false;  // one configuration, one launch
  if (pending.argumentRefused) return cudaErrorInvalidValue;
  const runtime_detail::Registration* registration =
      runtime_detail::findRegistration(hostFunction);
  if (registration == nullptr) return cudaErrorInvalidDeviceFunction;

  std::memcpy(runningRecord.data(), pending.record.data(), pending.recordBytes);
  if (runningBytes > pending.recordBytes) {
    std::memset(runningRecord.data() + pending.recordBytes, 0, runningBytes - pending.recordBytes);
  }
  runningBytes = pending.recordBytes;
  if (LaunchObserver& observer = launchObserver()) {
    observer({hostFunction, registration->deviceName, pending.gridSize, pending.blockSize,
                    {pending.record.begin(), pending.record.begin() + pending.recordBytes}});
  }
  return runtime_detail::runLaunch({registration, runningRecord.data(), pending.gridSize,
                                     pending.blockSize, pending.threadsPerLine});
}

namespace runtime_parallel {

cudaError_t declareNeighbourLines(std::uint32_t threadsPerLine) {
  if (!pending.configured) return cudaErrorMissingConfiguration;
  if (threadsPerLine == 0) return cudaErrorInvalidValue;
  pending.threadsPerLine = threadsPerLine;
  return cudaSuccess;
}

}  // namespace runtime_parallel

namespace runtime_testing {

void setLaunchObserver(std::function<void(const LaunchObservation&)> observer) {
  launchObserver() = std::move(observer);
}

}  // namespace runtime_testing
