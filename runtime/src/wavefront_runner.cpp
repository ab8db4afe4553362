#include "wavefront_runner.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "block_runner.h"
#include "parallel_launch.h"
#include "runtime_testing.h"
#include "spin_then_wait.h"
#include "thread_frames.h"

namespace runtime_detail {

namespace {

using runtime_parallel::kMaxWorkers;

std::atomic<unsigned> requestedWorkers{0};  // 0: the default

// What a pool thread is doing, as the launching thread sees it.
enum WorkerState : std::uint32_t {
  kAvailable,  // spinning, ready to take part in the next launch
  kAsleep,     // idle long enough to sleep
  kWaking,     // woken; takes part in launches once it runs again and says so
  kReserved,   // chosen for the launch being prepared
  kAssigned,   // running its share of a launch
};

// One host thread's part in launches.
struct Worker {
  alignas(64) std::atomic<std::uint32_t> state{kAvailable};
  alignas(64) BlockRunner runner;
  IndexVariablesCache variables;
  ThreadFramePool frames;
  unsigned share = 0;  // of the launch assigned
  bool diverged = false;
  std::uint64_t lineWaitNs = 0;
};

// How many lines of its share of the current launch a worker has finished; on a cache line of
// its own, so that the next worker spinning on it does not slow the stores.
struct alignas(64) ShareProgress {
  std::atomic<std::uint32_t> linesDone{0};
};

// What the launching thread hands to the workers; written before it assigns them, read by them
// until they report back.
struct Wavefront {
  const LaunchJob* job = nullptr;
  std::uint64_t blocks = 0;
  std::uint32_t blocksPerLine = 0;
  std::uint32_t lines = 0;
  unsigned shares = 0;
};

class WorkerPool {
 public:
  // Starts threads until `wanted` workers, the launching thread's own included, exist.
  // Threads are started once and serve until the process ends.
  void grow(unsigned wanted);
  // Runs `front` on the launching thread and on the workers awake now, up to
  // `front.shares` in all; returns false, having run nothing, if no worker is awake. Workers
  // that sleep are woken for later launches: waiting for them would cost more than it gains.
  bool run(Wavefront front, bool& diverged);
  // Wakes the sleeping workers among the first `wanted`, the launching thread counted; they
  // join launches once they run.
  void wake(unsigned wanted);
  // Read between launches only.
  runtime_testing::WorkerWaits waits() const;

 private:
  void serve(Worker& me);
  void runShare(Worker& me);

  std::array<std::unique_ptr<Worker>, kMaxWorkers> workers_{};  // [0]: the launching thread
  std::array<ShareProgress, kMaxWorkers> progress_{};
  std::vector<std::jthread> threads_;
  unsigned started_ = 0;
  bool startFailed_ = false;
  Wavefront front_;
  std::uint64_t parallelLaunches_ = 0;
  std::uint64_t finishWaitNs_ = 0;
};

void WorkerPool::grow(unsigned wanted) {
  if (started_ == 0) {
    workers_[0] = std::unique_ptr<Worker>(new (std::nothrow) Worker);
    if (!workers_[0]) return;
    threads_.reserve(kMaxWorkers);
    started_ = 1;
  }
  while (started_ < wanted && !startFailed_) {
    Worker* worker = new (std::nothrow) Worker;
    try {
      if (worker == nullptr) throw std::bad_alloc();
      workers_[started_].reset(worker);
      threads_.emplace_back([this, worker] { serve(*worker); });
    } catch (const std::exception&) {
      // A machine out of threads or memory still runs every launch, with fewer workers.
      workers_[started_].reset();
      startFailed_ = true;
      break;
    }
    ++started_;
  }
}

// A worker woken by a launch has missed that one, which may run for milliseconds: it waits
// that long for the next before it sleeps again. Inside a launch, what a thread waits for is
// being worked on, and sleeping would add the time to wake: it spins (and yields) as long.
constexpr std::chrono::microseconds kPatienceAfterWaking{10'000};
constexpr std::chrono::microseconds kPatienceInLaunch{10'000};

void WorkerPool::serve(Worker& me) {
  useThreadFramePool(&me.frames);
  std::chrono::microseconds patience = kYieldBeforeSleeping;
  for (;;) {
    std::uint32_t state = kAvailable;
    if (spinUntil(me.state, [](std::uint32_t s) { return s == kAssigned; }, state, patience)) {
      runShare(me);
      publishCounter(me.state, kAvailable);
      patience = kYieldBeforeSleeping;
      continue;
    }
    // Nothing for a while: sleep, unless a launch reserved this worker meanwhile.
    std::uint32_t expected = kAvailable;
    if (!me.state.compare_exchange_strong(expected, kAsleep, std::memory_order_acq_rel)) continue;
    do {
      me.state.wait(kAsleep, std::memory_order_acquire);
    } while (me.state.load(std::memory_order_acquire) == kAsleep);
    expected = kWaking;
    me.state.compare_exchange_strong(expected, kAvailable, std::memory_order_acq_rel);
    patience = kPatienceAfterWaking;
  }
}

void WorkerPool::wake(unsigned wanted) {
  for (unsigned w = 1; w < std::min(started_, wanted); ++w) {
    std::uint32_t expected = kAsleep;
    if (workers_[w]->state.compare_exchange_strong(expected, kWaking, std::memory_order_acq_rel)) {
      workers_[w]->state.notify_all();
    }
  }
}

void WorkerPool::runShare(Worker& me) {
  const Wavefront& front = front_;
  const LaunchJob& job = *front.job;
  me.runner.begin(job.kernel->deviceFunction, job.record, job.gridSize, job.blockSize,
                  me.variables.of(job.kernel->indexVariables));
  const std::uint32_t first = front.blocksPerLine * me.share / front.shares;
  const std::uint32_t end = front.blocksPerLine * (me.share + 1) / front.shares;
  const ShareProgress* left = me.share > 0 ? &progress_[me.share - 1] : nullptr;
  ShareProgress& mine = progress_[me.share];
  for (std::uint32_t line = 0; line < front.lines; ++line) {
    if (left != nullptr) {
      awaitCounter(left->linesDone, [line](std::uint32_t done) { return done > line; },
                   me.lineWaitNs, kPatienceInLaunch);
    }
    const std::uint64_t lineStart = std::uint64_t{line} * front.blocksPerLine;
    const std::uint64_t runEnd = std::min<std::uint64_t>(lineStart + end, front.blocks);
    for (std::uint64_t b = lineStart + first; b < runEnd; ++b) {
      me.runner.runBlock(blockAt(b, job.gridSize));
    }
    publishCounter(mine.linesDone, line + 1);
  }
  me.diverged = me.runner.diverged();
}

bool WorkerPool::run(Wavefront front, bool& diverged) {
  std::array<Worker*, kMaxWorkers> taking{};
  unsigned count = 0;
  taking[count++] = workers_[0].get();
  for (unsigned w = 1; w < started_; ++w) {
    std::atomic<std::uint32_t>& state = workers_[w]->state;
    std::uint32_t expected = kAvailable;
    if (count < front.shares &&
        state.compare_exchange_strong(expected, kReserved, std::memory_order_acq_rel)) {
      taking[count++] = workers_[w].get();
    }
  }
  wake(front.shares);
  if (count < 2) return false;

  front.shares = count;
  front_ = front;
  // Every worker has reported the last launch finished, so nobody reads these any more.
  for (unsigned k = 0; k < count; ++k) {
    progress_[k].linesDone.store(0, std::memory_order_relaxed);
    taking[k]->share = k;
  }
  for (unsigned k = 1; k < count; ++k) publishCounter(taking[k]->state, kAssigned);
  runShare(*taking[0]);
  diverged = taking[0]->diverged;
  for (unsigned k = 1; k < count; ++k) {
    awaitCounter(taking[k]->state, [](std::uint32_t s) { return s != kAssigned; },
                 finishWaitNs_, kPatienceInLaunch);
    diverged = diverged || taking[k]->diverged;
  }
  ++parallelLaunches_;
  return true;
}

runtime_testing::WorkerWaits WorkerPool::waits() const {
  runtime_testing::WorkerWaits waits{parallelLaunches_, 0, finishWaitNs_};
  for (unsigned w = 0; w < started_; ++w) waits.lineWaitNs += workers_[w]->lineWaitNs;
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

bool runOnWorkers(const LaunchJob& job, bool& diverged) {
  const unsigned wanted = runtime_parallel::workers();
  if (wanted < 2 || job.threadsPerLine == 0) return false;
  if (!job.kernel->indexVariables.allThreadLocal()) return false;
  const std::uint64_t threadsPerBlock =
      std::uint64_t{job.blockSize.x} * job.blockSize.y * job.blockSize.z;
  if (job.threadsPerLine % threadsPerBlock != 0) return false;
  const std::uint64_t blocksPerLine = job.threadsPerLine / threadsPerBlock;
  const std::uint64_t blocks = std::uint64_t{job.gridSize.x} * job.gridSize.y * job.gridSize.z;
  const std::uint64_t lines = (blocks + blocksPerLine - 1) / blocksPerLine;
  if (blocksPerLine < 2 || lines > std::numeric_limits<std::uint32_t>::max()) return false;

  const auto shares = static_cast<unsigned>(std::min<std::uint64_t>(wanted, blocksPerLine));
  WorkerPool& workers = thePool();
  workers.grow(shares);
  return workers.run({&job, blocks, static_cast<std::uint32_t>(blocksPerLine),
                      static_cast<std::uint32_t>(lines), shares},
                     diverged);
}

}  // namespace runtime_detail

namespace runtime_testing {

WorkerWaits workerWaits() {
  return runtime_detail::pool != nullptr ? runtime_detail::pool->waits() : WorkerWaits{};
}

}  // namespace runtime_testing

namespace runtime_parallel {

void wakeWorkers() {
  if (runtime_detail::pool != nullptr) runtime_detail::pool->wake(workers());
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
