// Test support for whole steps: sources written as the mouse and keys write them, and a watch
// on the launches of a step that names each device buffer by the driver's allocation order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fluid_state.h"
#include "runtime_testing.h"

// A right click at cell (i, j) with 4-pixel cells: density and four velocity pushes.
inline void rightClickBurst(int i, int j, FluidState& s = fluid, float cellSize = 4.0f) {
  s.dens_prev[IX(i, j)] = s.N * cellSize;
  s.u_prev[IX(i, j - 1)] = -cellSize;
  s.u_prev[IX(i, j + 1)] = cellSize;
  s.v_prev[IX(i - 1, j)] = -cellSize;
  s.v_prev[IX(i + 1, j)] = cellSize;
}

// The 'f' key: a density and a v source in the bottom interior row.
inline void bottomSource(FluidState& s = fluid, float cellSize = 4.0f) {
  s.dens_prev[IX(1, s.source_column)] = s.N * cellSize;
  s.v_prev[IX(1, s.source_column)] = cellSize;
}

// The golden scenario: a ring of obstacles around the centre with a gap, bursts inside and
// outside it, the bottom source fed every tenth step and a drag-like push now and then.
inline constexpr int kGoldenSteps = 50;

inline void placeGoldenObstacles(FluidState& s) {
  for (int i = 44; i <= 84; ++i) {
    for (int j = 44; j <= 84; ++j) {
      const int di = i - 64, dj = j - 64;
      const int r2 = di * di + dj * dj;
      if (r2 >= 16 * 16 && r2 <= 19 * 19 && !(dj > 10 && di > -3 && di < 3)) {
        s.boundary[IX(i, j)] = 1;
      }
    }
  }
}

inline void addGoldenSources(FluidState& s, int step) {
  if (step % 10 == 0) bottomSource(s);
  if (step == 0) rightClickBurst(64, 64, s);
  if (step == 5) rightClickBurst(20, 100, s);
  if (step == 12) rightClickBurst(100, 30, s);
  if (step == 20) s.u_prev[IX(30, 40)] += 12.0f;
  if (step == 33) rightClickBurst(66, 70, s);
}

inline void resetFluid() { fluid = FluidState{}; }

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
