// What the step benchmarks share: the golden scenario's state to start from, and medians of
// wall-clock samples taken in turn, so that the machine's noise hits each contender alike.
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "direct_step.h"
#include "golden_scenario.h"

// The golden scenario's state after its fifty steps on a grid of n interior cells a side.
inline void loadGoldenState(FluidState& s, int n = kDefaultGridInterior) {
  // Made once per grid: on the finest grids the plain loops take seconds over the scenario.
  static std::map<int, std::unique_ptr<FluidState>> made;
  std::unique_ptr<FluidState>& golden = made[n];
  if (golden == nullptr) {
    golden = std::make_unique<FluidState>();
    if (n != kDefaultGridInterior) set_grid(*golden, n);
    placeGoldenObstacles(*golden);
    for (int step = 0; step < kGoldenSteps; ++step) {
      addGoldenSources(*golden, step);
      directCalcFluid(*golden);
    }
  }
  s = *golden;
}

inline double median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples.empty() ? 0.0 : samples[samples.size() / 2];
}

template <typename F>
double millisecondsOf(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}
