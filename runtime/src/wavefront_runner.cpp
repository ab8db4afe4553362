#include "wavefront_runner.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <thread>

#include "parallel_launch.h"
#include "participant.h"
#include "runtime_testing.h"
#include "tile_board.h"
#include "worker_pool.h"

namespace runtime_detail {

namespace {

std::atomic<unsigned> requestedWorkers{0};  // 0: the default
std::atomic<std::uint32_t> forcedTileLines{0};
std::atomic<unsigned> threadsInLastLaunch{0};

// Handing a tile to another core costs a few hundred nanoseconds and some of the caches' warmth,
// so a tile should hold some microseconds of work. Rows beyond a few dozen add hand-offs, not
// balance.
constexpr double kLeastTileNs = 5'000;
constexpr std::uint32_t kMostRows = 32;
// Rows of a kernel not yet measured: enough for its first launch to be shared.
constexpr std::uint32_t kRowsUnmeasured = 16;
// A kernel found too cheap to share is measured again after this many launches.
constexpr unsigned kLaunchesBeforeRemeasuring = 64;

// What running one block of a kernel has been seen to cost.
struct KernelCost {
  cudaEntryThunk entry = nullptr;
  double nsPerBlock = 0;  // 0: not measured yet
  unsigned launchesInReferenceOrder = 0;
};

// Kernels are few; the oldest entry gives way when a new kernel comes.
class KernelCosts {
 public:
  KernelCost& of(cudaEntryThunk entry) {
    for (KernelCost& cost : costs_) {
      if (cost.entry == entry) return cost;
    }
    KernelCost& fresh = costs_[next_++ % costs_.size()];
    fresh = KernelCost{entry};
    return fresh;
  }

 private:
  std::array<KernelCost, 32> costs_{};
  std::size_t next_ = 0;
};

// Lines per row of tiles for a launch of `blocks` blocks in `columns` columns, or 0 when it is
// not worth sharing.
std::uint32_t linesPerRow(KernelCost& cost, std::uint64_t blocks, std::uint32_t lines,
                          std::uint32_t columns) {
  if (const std::uint32_t forced = forcedTileLines.load(std::memory_order_relaxed)) return forced;
  std::uint32_t rows = kRowsUnmeasured;
  if (cost.nsPerBlock > 0) {
    const double tiles = cost.nsPerBlock * static_cast<double>(blocks) / kLeastTileNs;
    rows = static_cast<std::uint32_t>(std::min(tiles / columns, double{kMostRows}));
  }
  rows = std::min(rows, lines);
  if (rows < 2) {
    if (++cost.launchesInReferenceOrder % kLaunchesBeforeRemeasuring != 0) return 0;
    rows = 2;
  }
  return (lines + rows - 1) / rows;
}

}  // namespace

bool runOnWorkers(Participant& launcher, const LaunchJob& job, bool& diverged) {
  const unsigned wanted = runtime_parallel::workers();
  if (wanted < 2 || job.threadsPerLine == 0) return false;
  if (!job.kernel->indexVariables.allThreadLocal()) return false;
  const std::uint64_t threadsPerBlock =
      std::uint64_t{job.blockSize.x} * job.blockSize.y * job.blockSize.z;
  if (job.threadsPerLine % threadsPerBlock != 0) return false;
  const std::uint64_t blocksPerLine = job.threadsPerLine / threadsPerBlock;
  const std::uint64_t blocks = std::uint64_t{job.gridSize.x} * job.gridSize.y * job.gridSize.z;
  const std::uint64_t lines = (blocks + blocksPerLine - 1) / blocksPerLine;
  if (blocksPerLine < 2 || blocksPerLine > std::numeric_limits<std::uint32_t>::max() ||
      lines > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  static KernelCosts costs;  // only the launching thread reads and writes them
  KernelCost& cost = costs.of(job.kernel->deviceFunction);
  const auto columns = static_cast<std::uint32_t>(std::min<std::uint64_t>(blocksPerLine, kMostTileColumns));
  const std::uint32_t rowLines =
      linesPerRow(cost, blocks, static_cast<std::uint32_t>(lines), columns);
  if (rowLines == 0) return false;

  const TileShape shape =
      shapeTiles(blocks, static_cast<std::uint32_t>(blocksPerLine), columns, rowLines);
  const PoolLaunchReport report = runOnPool(launcher, job, shape, std::min(wanted, columns));
  if (!report.ran) return false;
  diverged = report.diverged;
  threadsInLastLaunch.store(report.threadsThatRan, std::memory_order_relaxed);
  const double sample = static_cast<double>(report.busyNs) / static_cast<double>(blocks);
  cost.nsPerBlock = cost.nsPerBlock > 0 ? (3 * cost.nsPerBlock + sample) / 4 : sample;
  return true;
}

}  // namespace runtime_detail

namespace runtime_testing {

WorkerWaits workerWaits() { return runtime_detail::poolWaits(); }

unsigned threadsThatRanTheLastSharedLaunch() {
  return runtime_detail::threadsInLastLaunch.load(std::memory_order_relaxed);
}

void setTileLines(std::uint32_t lines) {
  runtime_detail::forcedTileLines.store(lines, std::memory_order_relaxed);
}

}  // namespace runtime_testing

namespace runtime_parallel {

void wakeWorkers() { runtime_detail::wakePool(workers()); }

unsigned defaultWorkers() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

bool setWorkers(unsigned count) {
  if (count < 1 || count > kMaxWorkers) return false;
  runtime_detail::requestedWorkers.store(count, std::memory_order_relaxed);
  return true;
}

unsigned workers() {
  const unsigned requested = runtime_detail::requestedWorkers.load(std::memory_order_relaxed);
  return requested != 0 ? requested : defaultWorkers();
}

}  // namespace runtime_parallel
