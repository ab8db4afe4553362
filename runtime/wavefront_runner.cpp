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
#include "spin_then_wait.h"
#include "runtime_testing.h"
#include "thread_frames.h"

namespace runtime_detail {

namespace {

using runtime_parallel::kMaxWorkers;

std::atomic<unsigned> requestedWorkers{0};  // 0: the default

// One host thread's part in launches. The counters sit on cache lines of their own, so that a
// worker spinning on its neighbour's progress does not slow the neighbour's stores.
struct Worker {
  alignas(64) std::atomic<std::uint32_t> started{0};  // number of the launch handed over
  alignas(64) std::atomic<std::uint32_t> finished{0};
  alignas(64) std::atomic<std::uint32_t> linesDone{0};  // of the current launch
  alignas(64) BlockRunner runner;
  IndexVariablesCache variables;
  ThreadFramePool frames;
  bool diverged = false;
  std::uint64_t lineWaitNs = 0;
  std::uint64_t idleNs = 0;  // between launches; not reported
};

// What the launching thread hands to the workers; written before it starts them, read by them
// until they report back.
struct Wavefront {
  const LaunchJob* job = nullptr;
  std::uint64_t blocks = 0;
  std::uint32_t blocksPerLine = 0;
  std::uint32_t lines = 0;
  unsigned workers = 0;
};

class WorkerPool {
 public:
  // How many workers, the launching thread's own included, stand ready, starting threads up to
  // `wanted` if there are fewer. Threads are started once and serve until the process ends.
  unsigned ready(unsigned wanted);
  void run(const Wavefront& wavefront, bool& diverged);
  // Read between launches only.
  runtime_testing::WorkerWaits waits() const;

 private:
  void serve(unsigned w);
  void runShare(unsigned w);

  std::array<std::unique_ptr<Worker>, kMaxWorkers> workers_{};
  std::vector<std::jthread> threads_;
  unsigned readyCount_ = 0;
  bool startFailed_ = false;
  Wavefront wavefront_;
  std::uint32_t launchNumber_ = 0;
  std::uint64_t parallelLaunches_ = 0;
  std::uint64_t finishWaitNs_ = 0;
};

unsigned WorkerPool::ready(unsigned wanted) {
  if (readyCount_ == 0) {
    workers_[0] = std::unique_ptr<Worker>(new (std::nothrow) Worker);
    if (!workers_[0]) return 0;
    threads_.reserve(kMaxWorkers);
    readyCount_ = 1;
  }
  while (readyCount_ < wanted && !startFailed_) {
    const unsigned w = readyCount_;
    workers_[w] = std::unique_ptr<Worker>(new (std::nothrow) Worker);
    try {
      if (!workers_[w]) throw std::bad_alloc();
      threads_.emplace_back([this, w] { serve(w); });
    } catch (const std::exception&) {
      // A machine out of threads or memory still runs every launch, with fewer workers.
      workers_[w].reset();
      startFailed_ = true;
      break;
    }
    ++readyCount_;
  }
  return std::min(readyCount_, wanted);
}

void WorkerPool::serve(unsigned w) {
  Worker& me = *workers_[w];
  useThreadFramePool(&me.frames);
  std::uint32_t seen = 0;
  for (;;) {
    seen = awaitCounter(me.started, [seen](std::uint32_t n) { return n != seen; }, me.idleNs);
    runShare(w);
    publishCounter(me.finished, seen);
  }
}

void WorkerPool::runShare(unsigned w) {
  Worker& me = *workers_[w];
  const Wavefront& front = wavefront_;
  const LaunchJob& job = *front.job;
  me.runner.begin(job.kernel->deviceFunction, job.record, job.gridSize, job.blockSize,
                  me.variables.of(job.kernel->indexVariables));
  const std::uint32_t first = front.blocksPerLine * w / front.workers;
  const std::uint32_t end = front.blocksPerLine * (w + 1) / front.workers;
  const Worker* left = w > 0 ? workers_[w - 1].get() : nullptr;
  for (std::uint32_t line = 0; line < front.lines; ++line) {
    if (left != nullptr) {
      awaitCounter(left->linesDone, [line](std::uint32_t done) { return done > line; },
                   me.lineWaitNs);
    }
    const std::uint64_t lineStart = std::uint64_t{line} * front.blocksPerLine;
    const std::uint64_t runEnd = std::min<std::uint64_t>(lineStart + end, front.blocks);
    for (std::uint64_t b = lineStart + first; b < runEnd; ++b) {
      me.runner.runBlock(blockAt(b, job.gridSize));
    }
    publishCounter(me.linesDone, line + 1);
  }
  me.diverged = me.runner.diverged();
}

void WorkerPool::run(const Wavefront& wavefront, bool& diverged) {
  wavefront_ = wavefront;
  ++launchNumber_;
  // Every worker has reported the last launch finished, so nobody reads these any more.
  for (unsigned w = 0; w < wavefront.workers; ++w) {
    workers_[w]->linesDone.store(0, std::memory_order_relaxed);
  }
  for (unsigned w = 1; w < wavefront.workers; ++w) publishCounter(workers_[w]->started, launchNumber_);
  runShare(0);
  diverged = workers_[0]->diverged;
  for (unsigned w = 1; w < wavefront.workers; ++w) {
    const std::uint32_t number = launchNumber_;
    awaitCounter(workers_[w]->finished, [number](std::uint32_t n) { return n == number; },
                 finishWaitNs_);
    diverged = diverged || workers_[w]->diverged;
  }
  ++parallelLaunches_;
}

runtime_testing::WorkerWaits WorkerPool::waits() const {
  runtime_testing::WorkerWaits waits{parallelLaunches_, 0, finishWaitNs_};
  for (unsigned w = 0; w < readyCount_; ++w) waits.lineWaitNs += workers_[w]->lineWaitNs;
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

  WorkerPool& workers = thePool();
  const unsigned count = workers.ready(std::min<std::uint64_t>(wanted, blocksPerLine));
  if (count < 2) return false;
  workers.run({&job, blocks, static_cast<std::uint32_t>(blocksPerLine),
               static_cast<std::uint32_t>(lines), count},
              diverged);
  return true;
}

}  // namespace runtime_detail

namespace runtime_testing {

WorkerWaits workerWaits() {
  return runtime_detail::pool != nullptr ? runtime_detail::pool->waits() : WorkerWaits{};
}

}  // namespace runtime_testing

namespace runtime_parallel {

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
