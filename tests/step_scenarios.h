// Test support for whole steps: the golden scenario's sources, states on any grid, and a watch
// on the launches of a step that names each device buffer by the driver's allocation order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fluid_state.h"
#include "golden_scenario.h"
#include "runtime_testing.h"

inline void resetFluid(int n = kDefaultGridInterior) {
  fluid = FluidState{};
  if (n != kDefaultGridInterior) set_grid(fluid, n);
}

// The six fields a step writes, by name, for comparing two states cell by cell.
struct NamedField {
  const char* name;
  std::vector<float> FluidState::*field;
};
inline constexpr NamedField kSteppedFields[] = {
    {"u", &FluidState::u},       {"v", &FluidState::v},
    {"u_prev", &FluidState::u_prev}, {"v_prev", &FluidState::v_prev},
    {"dens", &FluidState::dens}, {"dens_prev", &FluidState::dens_prev}};

// The driver allocates its buffers in this order.
inline const char* const kBufferNames[] = {"gpuU",    "gpuV",        "gpuUPrev",   "gpuVPrev",
                                           "gpuDens", "gpuDensPrev", "gpuBoundary"};

inline std::string bufferName(std::uint32_t address) {
  const auto live = runtime_testing::liveAllocations();
  for (std::size_t k = 0; k < live.size() && k < 7; ++k) {
    if (live[k].address == address) return kBufferNames[k];
  }
  return "unknown buffer";
}

// The device address of a buffer of the step in progress.
inline void* liveBuffer(const std::string& name) {
  const auto live = runtime_testing::liveAllocations();
  for (std::size_t k = 0; k < live.size() && k < 7; ++k) {
    if (name == kBufferNames[k]) return reinterpret_cast<void*>(live[k].address);
  }
  return nullptr;
}

// Calls `atLaunch(index, launch)` as each launch of the watched code begins, counting from 1.
class LaunchWatch {
 public:
  template <typename F>
  explicit LaunchWatch(F atLaunch) {
    runtime_testing::setLaunchObserver(
        [this, atLaunch](const runtime_testing::LaunchObservation& launch) {
          atLaunch(++count_, launch);
        });
  }
  ~LaunchWatch() { runtime_testing::setLaunchObserver({}); }
  int count() const { return count_; }

 private:
  int count_ = 0;
};
