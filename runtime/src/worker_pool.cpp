#include "worker_pool.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "parallel_launch.h"

namespace runtime_detail {

namespace {

using Clock = std::chrono::steady_clock;
using runtime_parallel::kMaxWorkers;

// A worker spins this long after its last launch before it sleeps: the launches of one step
// follow each other within microseconds, while between steps the core is better given back.
constexpr std::chrono::microseconds kIdlePatience{200};

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// Serial numbers of pooled launches, unique in the process (and in a forked child, which
// carries on its parent's count) so that no participant mistakes one launch for another.
std::atomic<std::uint32_t> lastSerial{0};

std::uint32_t nextSerial() {
  std::uint32_t serial = lastSerial.fetch_add(1, std::memory_order_relaxed) + 1;
  if (serial == 0) serial = lastSerial.fetch_add(1, std::memory_order_relaxed) + 1;
  return serial;
}

class WorkerPool {
 public:
  PoolLaunchReport run(Participant& launcher, const LaunchJob& job, const TileShape& shape,
                       unsigned threads, std::chrono::nanoseconds patience);
  void wake(unsigned threads);
  runtime_testing::WorkerWaits waits() const;

 private:
  struct Worker {
    Participant side;
    unsigned number = 0;  // 1, 2, ...: the launching thread is 0
  };

  void grow(unsigned workers);
  void serve(Worker& me);
  void takePart(Participant& me, unsigned share, std::uint32_t serial);
  void runTile(Participant& me, std::uint32_t serial, Tile tile);
  bool spinForTile(Participant& me, std::uint32_t serial, TileBoard::Columns columns);
  void sleepForTile(Participant& me, std::uint32_t serial);
  void wakeTileSleepers();
  unsigned startedWorkers() const { return started_.load(std::memory_order_acquire); }

  // Written once each, before `started_` counts them.
  std::array<std::unique_ptr<Worker>, kMaxWorkers> workers_{};
  std::atomic<unsigned> started_{0};
  std::vector<std::thread> threads_;
  bool startFailed_ = false;

  // The launch on offer: written by the launching thread before it offers the launch, read by
  // the threads that have claimed one of its tiles.
  const LaunchJob* job_ = nullptr;
  TileShape shape_{};
  alignas(64) std::atomic<std::uint32_t> offered_{0};  // serial of the launch on offer
  std::atomic<unsigned> threadsWanted_{0};
  std::atomic<std::int64_t> offeredAtNs_{0};
  std::atomic<SleepWord*> launcherSleep_{nullptr};
  std::atomic<std::int64_t> tilePatienceNs_{0};
  alignas(64) std::atomic<std::uint32_t> idleSleepers_{0};
  alignas(64) std::atomic<std::uint32_t> tileSleepers_{0};
  alignas(64) std::atomic<bool> diverged_{false};
  alignas(64) TileBoard board_;

  // Read between launches.
  std::uint64_t launches_ = 0;
  std::uint64_t finishWaitNs_ = 0;
  std::uint64_t launcherTileWaitNs_ = 0;
  std::atomic<std::uint64_t> wakeUps_{0};
  std::atomic<std::uint64_t> wakeUpNs_{0};
};

void WorkerPool::grow(unsigned workers) {
  unsigned started = startedWorkers();
  if (started == 0) threads_.reserve(kMaxWorkers);
  while (started < std::min(workers, kMaxWorkers - 1) && !startFailed_) {
    Worker* worker = new (std::nothrow) Worker;
    try {
      if (worker == nullptr) throw std::bad_alloc();
      worker->number = started + 1;
      workers_[started].reset(worker);
      threads_.emplace_back([this, worker] { serve(*worker); });
    } catch (const std::exception&) {
      // A machine out of threads or memory still runs every launch, with fewer workers.
      workers_[started].reset();
      startFailed_ = true;
      break;
    }
    started_.store(++started, std::memory_order_release);
  }
}

void WorkerPool::serve(Worker& me) {
  useThreadFramePool(&me.side.frames);
  std::uint32_t seen = 0;
  for (;;) {
    std::uint32_t serial = 0;
    const auto offered = [&] {
      serial = offered_.load(std::memory_order_acquire);
      return serial != seen;
    };
    // A worker the last launch did not want sleeps at once.
    const bool wanted = me.number < threadsWanted_.load(std::memory_order_relaxed);
    bool slept = false;
    if (!spinUntil(offered, wanted ? kIdlePatience : std::chrono::microseconds{0})) {
      sleepUntil(me.side.sleep, kSleepsForLaunch, idleSleepers_, offered);
      slept = true;
    }
    seen = serial;
    if (me.number >= threadsWanted_.load(std::memory_order_relaxed)) continue;
    if (slept) {
      wakeUps_.fetch_add(1, std::memory_order_relaxed);
      wakeUpNs_.fetch_add(
          static_cast<std::uint64_t>(nowNs() - offeredAtNs_.load(std::memory_order_relaxed)),
          std::memory_order_relaxed);
    }
    takePart(me.side, me.number, serial);
  }
}

void WorkerPool::runTile(Participant& me, std::uint32_t serial, Tile tile) {
  const LaunchJob& job = *job_;
  if (job.fastForm == nullptr && me.begunLaunch != serial) {
    me.runner.begin(job.kernel->deviceFunction, job.record, job.gridSize, job.blockSize,
                    me.variables.of(job.kernel->indexVariables));
    me.begunLaunch = serial;
  }
  const std::int64_t start = nowNs();
  if (job.fastForm != nullptr) {
    job.fastForm->run(job.record, rectOf(shape_, tile));
  } else {
    forEachBlockOf(shape_, tile,
                   [&](std::uint64_t b) { me.runner.runBlock(blockAt(b, job.gridSize)); });
    if (me.runner.diverged()) diverged_.store(true, std::memory_order_relaxed);
  }
  me.busyNs.fetch_add(static_cast<std::uint64_t>(nowNs() - start), std::memory_order_relaxed);
  me.tilesRun.fetch_add(1, std::memory_order_relaxed);
}

bool WorkerPool::spinForTile(Participant& me, std::uint32_t serial, TileBoard::Columns columns) {
  const std::int64_t start = nowNs();
  const std::chrono::nanoseconds patience(tilePatienceNs_.load(std::memory_order_relaxed));
  const bool ready = spinUntil([&] { return board_.readyOrNoneLeft(serial, columns); }, patience);
  me.tileWaitNs.fetch_add(static_cast<std::uint64_t>(nowNs() - start), std::memory_order_relaxed);
  return ready;
}

void WorkerPool::sleepForTile(Participant& me, std::uint32_t serial) {
  const std::int64_t start = nowNs();
  sleepUntil(me.sleep, kSleepsForTile, tileSleepers_,
             [&] { return board_.readyOrNoneLeft(serial, {}); });
  me.tileWaitNs.fetch_add(static_cast<std::uint64_t>(nowNs() - start), std::memory_order_relaxed);
}

// A thread keeps to the columns of its share while their tiles come in time, and takes tiles
// of any column when its own are done or have kept it waiting longer than a tile takes (their
// way is blocked by a thread that has lost its core).
void WorkerPool::takePart(Participant& me, unsigned share, std::uint32_t serial) {
  const TileBoard::Columns mine =
      board_.shareOf(serial, share, threadsWanted_.load(std::memory_order_relaxed));
  const TileBoard::Columns all{};
  for (;;) {
    Tile tile;
    TileBoard::Look look = board_.claim(serial, mine, tile);
    if (look == TileBoard::Look::NotReady && spinForTile(me, serial, mine)) continue;
    if (look != TileBoard::Look::Ready) look = board_.claim(serial, all, tile);
    switch (look) {
      case TileBoard::Look::Ready:
        runTile(me, serial, tile);
        board_.finish(serial, tile);
        if (anybodySleeps(tileSleepers_)) wakeTileSleepers();
        break;
      case TileBoard::Look::NotReady:
        if (!spinForTile(me, serial, all)) sleepForTile(me, serial);
        break;
      case TileBoard::Look::NoneLeft:
        return;
    }
  }
}

void WorkerPool::wakeTileSleepers() {
  if (SleepWord* launcher = launcherSleep_.load(std::memory_order_relaxed)) {
    wakeIfSleeping(*launcher, kSleepsForTile);
  }
  const unsigned started = startedWorkers();
  for (unsigned k = 0; k < started; ++k) wakeIfSleeping(workers_[k]->side.sleep, kSleepsForTile);
}

void WorkerPool::wake(unsigned threads) {
  if (!anybodySleeps(idleSleepers_)) return;
  const unsigned workers = std::min(threads > 0 ? threads - 1 : 0, startedWorkers());
  for (unsigned k = 0; k < workers; ++k) wakeIfSleeping(workers_[k]->side.sleep, kSleepsForLaunch);
}

PoolLaunchReport WorkerPool::run(Participant& launcher, const LaunchJob& job,
                                 const TileShape& shape, unsigned threads,
                                 std::chrono::nanoseconds patience) {
  grow(threads - 1);
  const unsigned helpers = std::min(threads - 1, startedWorkers());
  if (helpers == 0) return {};

  std::array<std::uint64_t, kMaxWorkers> tilesBefore{};
  std::array<std::uint64_t, kMaxWorkers> busyBefore{};
  for (unsigned k = 0; k < helpers; ++k) {
    tilesBefore[k] = workers_[k]->side.tilesRun.load(std::memory_order_relaxed);
    busyBefore[k] = workers_[k]->side.busyNs.load(std::memory_order_relaxed);
  }
  const std::uint64_t launcherTiles = launcher.tilesRun.load(std::memory_order_relaxed);
  const std::uint64_t launcherBusy = launcher.busyNs.load(std::memory_order_relaxed);
  const std::uint64_t launcherWait = launcher.tileWaitNs.load(std::memory_order_relaxed);

  const std::uint32_t serial = nextSerial();
  job_ = &job;
  shape_ = shape;
  diverged_.store(false, std::memory_order_relaxed);
  launcherSleep_.store(&launcher.sleep, std::memory_order_relaxed);
  threadsWanted_.store(helpers + 1, std::memory_order_relaxed);
  tilePatienceNs_.store(patience.count(), std::memory_order_relaxed);
  board_.open(serial, shape.columns, shape.rows);
  offeredAtNs_.store(nowNs(), std::memory_order_relaxed);
  offered_.store(serial, std::memory_order_release);
  wake(helpers + 1);

  takePart(launcher, 0, serial);
  const std::int64_t waitStart = nowNs();
  const auto finished = [&] { return board_.allFinished(serial); };
  if (!spinUntil(finished, patience)) {
    sleepUntil(launcher.sleep, kSleepsForTile, tileSleepers_, finished);
  }
  finishWaitNs_ += static_cast<std::uint64_t>(nowNs() - waitStart);
  launcherTileWaitNs_ += launcher.tileWaitNs.load(std::memory_order_relaxed) - launcherWait;
  ++launches_;

  PoolLaunchReport report;
  report.ran = true;
  report.diverged = diverged_.load(std::memory_order_relaxed);
  report.threadsThatRan = launcher.tilesRun.load(std::memory_order_relaxed) != launcherTiles;
  report.busyNs = launcher.busyNs.load(std::memory_order_relaxed) - launcherBusy;
  for (unsigned k = 0; k < helpers; ++k) {
    const Participant& side = workers_[k]->side;
    report.threadsThatRan += side.tilesRun.load(std::memory_order_relaxed) != tilesBefore[k];
    report.busyNs += side.busyNs.load(std::memory_order_relaxed) - busyBefore[k];
  }
  return report;
}

runtime_testing::WorkerWaits WorkerPool::waits() const {
  runtime_testing::WorkerWaits waits{};
  waits.launches = launches_;
  waits.finishWaitNs = finishWaitNs_;
  waits.tileWaitNs = launcherTileWaitNs_;
  waits.wakeUps = wakeUps_.load(std::memory_order_relaxed);
  waits.wakeUpNs = wakeUpNs_.load(std::memory_order_relaxed);
  const unsigned started = startedWorkers();
  for (unsigned k = 0; k < started; ++k) {
    waits.tileWaitNs += workers_[k]->side.tileWaitNs.load(std::memory_order_relaxed);
  }
  return waits;
}

// The pool's threads do not survive fork(): a child process starts a pool of its own.
WorkerPool* pool = nullptr;

WorkerPool& thePool() {
  if (pool == nullptr) {
    static const bool forkHandled = pthread_atfork(nullptr, nullptr, [] { pool = nullptr; }) == 0;
    (void)forkHandled;
    pool = new WorkerPool;  // never destroyed: its threads serve until the process ends
  }
  return *pool;
}

}  // namespace

PoolLaunchReport runOnPool(Participant& launcher, const LaunchJob& job, const TileShape& shape,
                           unsigned threads, std::chrono::nanoseconds patience) {
  return thePool().run(launcher, job, shape, threads, patience);
}

void wakePool(unsigned threads) {
  if (pool != nullptr) pool->wake(threads);
}

runtime_testing::WorkerWaits poolWaits() {
  return pool != nullptr ? pool->waits() : runtime_testing::WorkerWaits{};
}

}  // namespace runtime_detail
