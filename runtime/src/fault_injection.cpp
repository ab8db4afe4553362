#include "fault_injection.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace {

using runtime_testing::RuntimeCall;

constexpr std::size_t kCallKinds = static_cast<std::size_t>(RuntimeCall::ThreadFrame) + 1;

struct ArmedFault {
  std::uint64_t firstCall;  // call numbers are counted per kind, from 1
  std::uint64_t lastCall;
  cudaError_t status;
};

// Launches that run on several host threads take thread frames, and so ask here, from all of
// them at once.
struct FaultTable {
  std::mutex guard;
  std::array<std::uint64_t, kCallKinds> callsMade{};
  std::array<std::vector<ArmedFault>, kCallKinds> armed{};
  bool anyArmed = false;
};

// Never destroyed, like the tables of the calls it watches.
FaultTable& faults() {
  static FaultTable& table = *new FaultTable;
  return table;
}

}  // namespace

namespace runtime_testing {

void injectFault(RuntimeCall call, int nth, cudaError_t status, int repeat) {
  if (nth < 1 || repeat < 1 || status == cudaSuccess) return;
  FaultTable& table = faults();
  const std::lock_guard lock(table.guard);
  const auto kind = static_cast<std::size_t>(call);
  const std::uint64_t first = table.callsMade[kind] + static_cast<std::uint64_t>(nth);
  table.armed[kind].push_back({first, first + static_cast<std::uint64_t>(repeat) - 1, status});
  table.anyArmed = true;
}

void clearFaults() {
  FaultTable& table = faults();
  const std::lock_guard lock(table.guard);
  for (auto& list : table.armed) list.clear();
  table.anyArmed = false;
}

}  // namespace runtime_testing

namespace runtime_detail {

cudaError_t takeInjectedFault(RuntimeCall call) {
  FaultTable& table = faults();
  const std::lock_guard lock(table.guard);
  const auto kind = static_cast<std::size_t>(call);
  const std::uint64_t thisCall = ++table.callsMade[kind];
  if (!table.anyArmed) return cudaSuccess;
  for (const ArmedFault& fault : table.armed[kind]) {
    if (thisCall >= fault.firstCall && thisCall <= fault.lastCall) return fault.status;
  }
  return cudaSuccess;
}

}  // namespace runtime_detail
