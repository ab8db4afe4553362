#include "wavefront_runner.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
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
// Whether the last launch that could be shared was: if not, sharing has not paid lately, and
// waking the workers ahead of launches would only take cores from others.
std::atomic<bool> lastLaunchShared{true};

// Handing a tile to another core costs a few hundred nanoseconds and some of the caches' warmth,
// so a tile should hold some microseconds of work. Rows beyond a few dozen add hand-offs, not
// balance.
constexpr double kLeastTileNs = 10'000;
constexpr std::uint32_t kMostRows = 32;
// Rows of a kernel not yet measured: enough for its first launch to be shared.
constexpr std::uint32_t kRowsUnmeasured = 16;
// A kernel kept on one thread is shared again after this many launches, to see whether sharing
// pays now; each probe that finds it still does not doubles the wait, up to the most.
constexpr unsigned kLaunchesAlone = 32;
constexpr unsigned kMostLaunchesAlone = 512;

using Clock = std::chrono::steady_clock;

double nanosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// What launches of one kernel on one grid have been seen to cost.
struct KernelCost {
  cudaEntryThunk entry = nullptr;
  std::uint64_t blocks = 0;
  bool fast = false;  // run by its fast form, which costs a fraction of thread by thread
  // One launch run by one thread: the least seen lately, since a thread that loses its core
  // makes some launches longer.
  double aloneNs = 0;  // 0: not measured yet
  // Shared launches against one thread alone, start to end: the recent mean of the ratio, so
  // that the stalls of a thread that lost its core count as often as they come.
  double sharedOverAlone = 0;  // 0: not measured yet
  unsigned launchesShared = 0;
  unsigned launchesLeftAlone = 0;
  unsigned nextTimeAlone = kLaunchesAlone;
  bool probeDue = false;

  void keepAlone(bool afterProbe) {
    nextTimeAlone = afterProbe ? std::min(2 * nextTimeAlone, kMostLaunchesAlone) : kLaunchesAlone;
    launchesLeftAlone = nextTimeAlone;
    probeDue = true;
  }
  void ranAlone(double ns) { aloneNs = aloneNs > 0 ? std::min(aloneNs * 1.02, ns) : ns; }
  // `probe`: the first shared launch after a time alone, which speaks for the present alone.
  void ranShared(double wallNs, double busyNs, bool probe) {
    ranAlone(busyNs);
    if (++launchesShared == 1) return;  // a first launch also starts the worker threads
    const double ratio = wallNs / aloneNs;
    sharedOverAlone = sharedOverAlone > 0 && !probe ? (3 * sharedOverAlone + ratio) / 4 : ratio;
    if (sharedOverAlone >= 1) keepAlone(probe);
  }
};

// Kernels and grids are few; the oldest entry gives way when a new one comes.
class KernelCosts {
 public:
  KernelCost& of(cudaEntryThunk entry, std::uint64_t blocks, bool fast) {
    for (KernelCost& cost : costs_) {
      if (cost.entry == entry && cost.blocks == blocks && cost.fast == fast) return cost;
    }
    KernelCost& fresh = costs_[next_++ % costs_.size()];
    fresh = KernelCost{entry, blocks, fast};
    return fresh;
  }

 private:
  std::array<KernelCost, 64> costs_{};
  std::size_t next_ = 0;
};

// Rows of tiles for a launch in `columns` columns; fewer than 2 when it is not worth sharing.
std::uint32_t rowsFor(const KernelCost& cost, std::uint32_t lines, std::uint32_t columns) {
  if (const std::uint32_t forced = forcedTileLines.load(std::memory_order_relaxed)) {
    return std::max((lines + forced - 1) / forced, 2u);
  }
  if (cost.aloneNs <= 0) return std::min(kRowsUnmeasured, lines);
  const double tiles = cost.aloneNs / kLeastTileNs;
  return static_cast<std::uint32_t>(
      std::min({tiles / columns, double{kMostRows}, static_cast<double>(lines)}));
}

// Whether to share the next launch: not while a kernel is kept alone, and then once more, as a
// probe, whatever its measured cost.
bool shareNow(KernelCost& cost, std::uint32_t& rows, bool& probe) {
  probe = false;
  if (forcedTileLines.load(std::memory_order_relaxed) != 0) return true;
  if (cost.launchesLeftAlone > 0) {
    --cost.launchesLeftAlone;
    return false;
  }
  if (cost.probeDue) {
    cost.probeDue = false;
    probe = true;
    rows = std::max(rows, 2u);
    return true;
  }
  if (rows < 2) {
    cost.keepAlone(false);
    --cost.launchesLeftAlone;  // this one
    return false;
  }
  return true;
}

}  // namespace

bool runOnWorkers(Participant& launcher, const LaunchJob& job, bool& diverged) {
  const unsigned wanted = runtime_parallel::workers();
  if (wanted < 2 || job.threadsPerLine == 0) return false;
  // Thread by thread, each host thread needs its own copies of the index variables.
  if (job.fastForm == nullptr && !job.kernel->indexVariables.allThreadLocal()) return false;
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
  KernelCost& cost = costs.of(job.kernel->deviceFunction, blocks, job.fastForm != nullptr);
  // No more threads than blocks in a line; columns enough for each thread's share to be two,
  // so that a thread blocked in its own can work in another's.
  const auto threads = static_cast<unsigned>(std::min<std::uint64_t>(wanted, blocksPerLine));
  auto columns = static_cast<std::uint32_t>(std::min<std::uint64_t>(
      {blocksPerLine, kMostTileColumns, std::max(4u, 2 * threads)}));
  if (job.fastForm != nullptr && job.fastForm->leastBlocksAcross > 1) {
    const std::uint64_t across = blocksPerLine / job.fastForm->leastBlocksAcross;
    columns = static_cast<std::uint32_t>(
        std::max<std::uint64_t>(2, std::min<std::uint64_t>(columns, across)));
  }
  std::uint32_t rows = rowsFor(cost, static_cast<std::uint32_t>(lines), columns);
  bool probe = false;
  const Clock::time_point start = Clock::now();
  const bool shared = shareNow(cost, rows, probe);
  lastLaunchShared.store(shared, std::memory_order_relaxed);
  if (!shared) {
    diverged = runInReferenceOrder(launcher, job);
    cost.ranAlone(nanosecondsSince(start));
    return true;
  }

  const auto linesPerRow = static_cast<std::uint32_t>((lines + rows - 1) / rows);
  const TileShape shape =
      shapeTiles(blocks, static_cast<std::uint32_t>(blocksPerLine), columns, linesPerRow);
  // A thread kept waiting much longer than a tile takes waits for a thread that has lost its
  // core, and rather gives its own core away.
  const double tileNs = cost.aloneNs > 0 ? cost.aloneNs / (shape.rows * shape.columns) : 0;
  const auto patience = std::chrono::nanoseconds(
      static_cast<std::int64_t>(std::clamp(3 * tileNs, 20'000.0, 500'000.0)));
  const PoolLaunchReport report = runOnPool(launcher, job, shape, threads, patience);
  if (!report.ran) return false;
  diverged = report.diverged;
  threadsInLastLaunch.store(report.threadsThatRan, std::memory_order_relaxed);
  cost.ranShared(nanosecondsSince(start), static_cast<double>(report.busyNs), probe);
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

void wakeWorkers() {
  if (runtime_detail::lastLaunchShared.load(std::memory_order_relaxed)) {
    runtime_detail::wakePool(workers());
  }
}

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
