// Launches on several worker threads: a launch whose caller declares neighbour lines gives the
// reference order's bits with any number of workers, and runs on the workers only when it may.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "cuda_runtime.h"
#include "parallel_launch.h"
#include "runtime_testing.h"

namespace {

// 24 blocks of 8 x 2 threads; lines of 64 threads are 4 blocks, so there are 6 lines.
constexpr dim3 kGrid(4, 6, 1);
constexpr dim3 kBlock(8, 2, 1);
constexpr int kLine = 64;
constexpr int kThreads = 24 * 16;
constexpr int kBlocks = 24;

struct ThreadLocalIndices {
  static thread_local inline dim3 thread, block, blockSize, gridSize;
  static thread_local inline int warpSize = 0;
};
struct SharedIndices {
  static inline dim3 thread, block, blockSize, gridSize;
  static inline int warpSize = 0;
};

float cells[kThreads];
std::thread::id blockRanOn[kBlocks];

// In place, like a relaxation: each pass mixes the cell with its neighbours in the line and at
// its place in the lines before and after, so the result depends on who ran first. A barrier
// between passes; thread `leaver` of every block leaves before the first one.
template <class Indices>
cudaDeviceThread relaxThread(int leaver) {
  const dim3 b = Indices::block;
  const dim3 t = Indices::thread;
  const int block = static_cast<int>(b.x + kGrid.x * b.y);
  const int g = block * 16 + static_cast<int>(t.x + kBlock.x * t.y);
  if (g % 16 == 0) blockRanOn[block] = std::this_thread::get_id();
  const int place = g % kLine;
  for (int pass = 0; pass < 3; ++pass) {
    if (g % 16 == leaver) co_return;
    float sum = cells[g];
    if (place > 0) sum = sum * 0.7f + cells[g - 1];
    if (place < kLine - 1) sum = sum * 0.9f - cells[g + 1];
    if (g >= kLine) sum = sum * 0.3f + cells[g - kLine];
    if (g + kLine < kThreads) sum = sum * 1.1f - cells[g + kLine];
    cells[g] = sum / 3.0f;
    // Gives the core away, so that with more workers than cores each worker gets to run blocks.
    std::this_thread::yield();
    co_await __cudaSynchronizeThreads(nullptr, nullptr);
  }
}
template <class Indices>
void relaxEntry(const void* record) {
  int leaver;
  std::memcpy(&leaver, record, sizeof leaver);
  relaxThread<Indices>(leaver);
}
void threadLocalStub() {}
void sharedStub() {}

const void* id(void (*stub)()) { return reinterpret_cast<const void*>(stub); }

struct Launch {
  unsigned workers;
  std::uint32_t line;  // 0: nothing declared
  bool threadLocal;
  int leaver = -1;
};

struct Outcome {
  cudaError_t status;
  std::vector<float> cells;
  std::size_t hostThreads;
};

class RuntimeWorkers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module = __cudaRegisterFatBinary(nullptr);
    using L = ThreadLocalIndices;
    using S = SharedIndices;
    ASSERT_EQ(__cudaRegisterFunction(module, id(threadLocalStub), &relaxEntry<L>, "local", -1,
                                     &L::thread, &L::block, &L::blockSize, &L::gridSize,
                                     &L::warpSize),
              cudaSuccess);
    ASSERT_EQ(__cudaRegisterFunction(module, id(sharedStub), &relaxEntry<S>, "shared", -1,
                                     &S::thread, &S::block, &S::blockSize, &S::gridSize,
                                     &S::warpSize),
              cudaSuccess);
    // These launches hold microseconds of work: shared only if told to.
    runtime_testing::setTileLines(1);
  }
  static void TearDownTestSuite() {
    __cudaUnregisterFatBinary(module);
    runtime_testing::setTileLines(0);
    runtime_parallel::setWorkers(runtime_parallel::defaultWorkers());
  }

  static Outcome run(const Launch& launch) {
    for (int g = 0; g < kThreads; ++g) cells[g] = static_cast<float>((g * 37) % 101) - 50.0f;
    std::fill(std::begin(blockRanOn), std::end(blockRanOn), std::thread::id());
    runtime_parallel::setWorkers(launch.workers);
    EXPECT_EQ(cudaConfigureCall(kGrid, kBlock), cudaSuccess);
    if (launch.line != 0) {
      EXPECT_EQ(runtime_parallel::declareNeighbourLines(launch.line), cudaSuccess);
    }
    EXPECT_EQ(cudaSetupArgument(&launch.leaver, 4, 0), cudaSuccess);
    const cudaError_t status = cudaLaunch(id(launch.threadLocal ? threadLocalStub : sharedStub));
    return {status, {std::begin(cells), std::end(cells)},
            std::set<std::thread::id>(std::begin(blockRanOn), std::end(blockRanOn)).size()};
  }

  // A launch does not wait for workers: one that is still waking, or waiting for a core, joins
  // a later launch. Launches until one ran on `hostThreads` threads, or until a deadline far
  // beyond any wake-up. Each must give `reference`'s bits and use no more threads than wanted.
  static Outcome runUntilOn(const Launch& launch, std::size_t hostThreads,
                            const std::vector<float>& reference) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    Outcome outcome = run(launch);
    while (outcome.hostThreads != hostThreads && std::chrono::steady_clock::now() < deadline) {
      EXPECT_EQ(std::memcmp(outcome.cells.data(), reference.data(), sizeof cells), 0);
      EXPECT_LE(outcome.hostThreads, hostThreads);
      runtime_parallel::wakeWorkers();
      std::this_thread::yield();
      outcome = run(launch);
    }
    return outcome;
  }

  static inline void** module = nullptr;
};

TEST_F(RuntimeWorkers, NeighbourLinesGiveTheReferenceBitsOnAsManyWorkersAsTheyAllow) {
  const Outcome reference = run({1, kLine, true});
  ASSERT_EQ(reference.status, cudaSuccess);
  ASSERT_EQ(reference.hostThreads, 1u);
  EXPECT_EQ(run({1, 0, false}).cells, reference.cells);  // the plain reference order

  const struct {
    Launch launch;
    std::size_t hostThreads;
  } cases[] = {
      {{2, kLine, true}, 2},
      {{3, kLine, true}, 3},    // runs of 1, 1 and 2 blocks
      {{4, kLine, true}, 4},
      {{9, kLine, true}, 4},    // never more workers than blocks in a line
      {{2, 0, true}, 1},        // nothing declared
      {{2, 40, true}, 1},       // lines that cut blocks
      {{2, 16, true}, 1},       // a line of one block leaves nothing to share
      {{2, kLine, false}, 1},   // index variables shared by all threads
  };
  for (const auto& [launch, hostThreads] : cases) {
    SCOPED_TRACE(testing::Message() << launch.workers << " workers, lines of " << launch.line
                                    << (launch.threadLocal ? "" : ", shared indices"));
    const Outcome outcome = runUntilOn(launch, hostThreads, reference.cells);
    EXPECT_EQ(outcome.status, cudaSuccess);
    EXPECT_EQ(outcome.hostThreads, hostThreads);
    if (hostThreads > 1) {
      EXPECT_EQ(runtime_testing::threadsThatRanTheLastSharedLaunch(), hostThreads);
    }
    EXPECT_EQ(std::memcmp(outcome.cells.data(), reference.cells.data(), sizeof cells), 0);
  }
}

TEST_F(RuntimeWorkers, UnevenBarriersOnWorkersFailTheLaunchAfterRunningEveryThread) {
  const Outcome reference = run({1, kLine, true, 5});
  const Outcome parallel = runUntilOn({2, kLine, true, 5}, 2, reference.cells);
  EXPECT_EQ(reference.status, cudaErrorLaunchFailure);
  EXPECT_EQ(parallel.status, cudaErrorLaunchFailure);
  EXPECT_EQ(parallel.hostThreads, 2u);
  EXPECT_EQ(parallel.cells, reference.cells);
}

// Any host thread may launch, one at a time: each runs its blocks with its own runner, index
// copies and frames, and the workers serve whichever thread launches. A registration made on a
// thread that has since ended still serves them all, each through its own copies.
TEST_F(RuntimeWorkers, LaunchesFromAnotherHostThreadAndRegistrationsFromAnEndedOne) {
  const Outcome reference = run({1, kLine, true});
  ASSERT_EQ(runUntilOn({2, kLine, true}, 2, reference.cells).hostThreads, 2u);

  Outcome fromOtherThread{};
  std::thread([&] { fromOtherThread = runUntilOn({2, kLine, true}, 2, reference.cells); }).join();
  EXPECT_EQ(fromOtherThread.status, cudaSuccess);
  EXPECT_EQ(fromOtherThread.hostThreads, 2u);
  EXPECT_EQ(fromOtherThread.cells, reference.cells);
  EXPECT_EQ(runUntilOn({2, kLine, true}, 2, reference.cells).cells, reference.cells);

  // The registering thread hands over the addresses of its own copies, then ends.
  static const auto endedStub = [] {};
  std::thread([] {
    using L = ThreadLocalIndices;
    EXPECT_EQ(__cudaRegisterFunction(module, reinterpret_cast<const void*>(+endedStub),
                                     &relaxEntry<L>, "ended", -1, &L::thread, &L::block,
                                     &L::blockSize, &L::gridSize, &L::warpSize),
              cudaSuccess);
  }).join();
  for (unsigned workers : {1u, 2u}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::size_t hostThreads = 0;
    do {
      for (int g = 0; g < kThreads; ++g) cells[g] = static_cast<float>((g * 37) % 101) - 50.0f;
      std::fill(std::begin(blockRanOn), std::end(blockRanOn), std::thread::id());
      runtime_parallel::setWorkers(workers);
      ASSERT_EQ(cudaConfigureCall(kGrid, kBlock), cudaSuccess);
      ASSERT_EQ(runtime_parallel::declareNeighbourLines(kLine), cudaSuccess);
      const int leaver = -1;
      ASSERT_EQ(cudaSetupArgument(&leaver, 4, 0), cudaSuccess);
      ASSERT_EQ(cudaLaunch(reinterpret_cast<const void*>(+endedStub)), cudaSuccess);
      ASSERT_EQ(std::memcmp(cells, reference.cells.data(), sizeof cells), 0) << workers;
      hostThreads = std::set<std::thread::id>(std::begin(blockRanOn), std::end(blockRanOn)).size();
    } while (hostThreads != workers && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(hostThreads, workers);
  }
}

TEST_F(RuntimeWorkers, DeclarationNeedsAConfiguredLaunchAndALine) {
  EXPECT_EQ(runtime_parallel::declareNeighbourLines(kLine), cudaErrorMissingConfiguration);
  ASSERT_EQ(cudaConfigureCall(kGrid, kBlock), cudaSuccess);
  EXPECT_EQ(runtime_parallel::declareNeighbourLines(0), cudaErrorInvalidValue);
  EXPECT_FALSE(runtime_parallel::setWorkers(0));
  EXPECT_FALSE(runtime_parallel::setWorkers(runtime_parallel::kMaxWorkers + 1));
  EXPECT_GE(runtime_parallel::defaultWorkers(), 1u);
  EXPECT_LE(runtime_parallel::defaultWorkers(), 4u);
}

// A child process has none of its parent's worker threads: it must start its own rather than
// wait for threads that are gone.
TEST_F(RuntimeWorkers, AForkedChildRunsLaunchesOnWorkersOfItsOwn) {
  const Outcome reference = run({1, kLine, true});
  ASSERT_EQ(runUntilOn({2, kLine, true}, 2, reference.cells).hostThreads, 2u);
  EXPECT_EXIT(
      {
        const Outcome child = runUntilOn({2, kLine, true}, 2, reference.cells);
        std::exit(child.hostThreads == 2 && child.cells == reference.cells ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
