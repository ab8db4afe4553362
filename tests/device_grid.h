// Test support: grid-sized host fields, their device copies, and launches of the real kernels
// through their stubs with the default grid's 512 x 32 geometry.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "cuda_runtime.h"
#include "execution_model.h"
#include "fluid_state.h"
#include "launch_stubs.h"

inline constexpr int kN = kDefaultGridInterior;

// A host field of the whole grid, indexed like the program's fields.
template <typename T>
struct HostGrid {
  std::vector<T> cells = std::vector<T>(kDefaultGridCells, T{});
  T& operator()(int i, int j) { return cells[IX(i, j)]; }
  const T& operator()(int i, int j) const { return cells[IX(i, j)]; }
};
using FloatGrid = HostGrid<float>;
using MaskGrid = HostGrid<int>;

inline FloatGrid filledGrid(float value) {
  FloatGrid grid;
  grid.cells.assign(kDefaultGridCells, value);
  return grid;
}

// A device buffer holding a copy of a host grid; freed on destruction.
template <typename T>
class DeviceGrid {
 public:
  explicit DeviceGrid(const HostGrid<T>& initial = {}) {
    EXPECT_EQ(cudaMalloc(reinterpret_cast<void**>(&pointer_), kDefaultGridCells * sizeof(T)),
              cudaSuccess);
    upload(initial);
  }
  ~DeviceGrid() { cudaFree(pointer_); }
  DeviceGrid(const DeviceGrid&) = delete;
  DeviceGrid& operator=(const DeviceGrid&) = delete;

  T* get() const { return pointer_; }
  void upload(const HostGrid<T>& grid) {
    EXPECT_EQ(cudaMemcpy(pointer_, grid.cells.data(), kDefaultGridCells * sizeof(T),
                         cudaMemcpyHostToDevice),
              cudaSuccess);
  }
  HostGrid<T> download() const {
    HostGrid<T> grid;
    EXPECT_EQ(cudaMemcpy(grid.cells.data(), pointer_, kDefaultGridCells * sizeof(T),
                         cudaMemcpyDeviceToHost),
              cudaSuccess);
    return grid;
  }

 private:
  T* pointer_ = nullptr;
};
using DeviceFloats = DeviceGrid<float>;
using DeviceMask = DeviceGrid<int>;

// Configures the fixed launch geometry; call right before a launch stub.
inline void configureGridLaunch() {
  ASSERT_EQ(cudaConfigureCall(dim3(blocksPerLaunch(kN)), dim3(threads_per_block)), cudaSuccess);
}

inline std::uint32_t bitsOf(float value) { return std::bit_cast<std::uint32_t>(value); }

// Fields of one advection launch; d starts as `before`, so stale edge reads can be seen.
struct AdvectFields {
  FloatGrid before;
  FloatGrid d0;
  FloatGrid u;
  FloatGrid v;
  MaskGrid mask;
};

// Runs one advection launch through its stub and returns d.
inline FloatGrid advectOnce(int b, const AdvectFields& f, float dt) {
  DeviceFloats d(f.before), d0(f.d0), u(f.u), v(f.v);
  DeviceMask mask(f.mask);
  configureGridLaunch();
  gpuLaunchAdvect(kN, b, d.get(), d0.get(), u.get(), v.get(), dt, mask.get());
  return d.download();
}
