#include <cstdint>

#include "execution_model.h"
#include "fast_kernels.h"

bool fastFormGeometry(int n, dim3 gridSize, dim3 blockSize, std::uint32_t threadsPerLine) {
  if (n < 1 || n > 65534) return false;
  const auto side = static_cast<std::uint32_t>(n) + 2;
  if (side % threads_per_block != 0) return false;
  if (blockSize.x != threads_per_block || blockSize.y != 1 || blockSize.z != 1) return false;
  if (gridSize.x != side * side / threads_per_block || gridSize.y != 1 || gridSize.z != 1) {
    return false;
  }
  return threadsPerLine == 0 || threadsPerLine == side;
}

bool disjointFields(int n, const void* a, const void* b) {
  const auto bytes = static_cast<std::uintptr_t>(n + 2) * static_cast<std::uintptr_t>(n + 2) * 4;
  const auto x = reinterpret_cast<std::uintptr_t>(a);
  const auto y = reinterpret_cast<std::uintptr_t>(b);
  return x + bytes <= y || y + bytes <= x;
}
