// Fast forms as the runtime runs them: in place of the threads when they accept a launch,
// never when tests ask for threads, and on workers in tiles that together run every block once,
// each after the block to its left and the one below it.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>

#include "cuda_runtime.h"
#include "fast_forms.h"
#include "parallel_launch.h"
#include "runtime_testing.h"

namespace {

// 64 blocks of 32 threads in lines of 8 blocks.
constexpr std::uint32_t kBlocks = 64;
constexpr std::uint32_t kBlocksPerLine = 8;
constexpr std::uint32_t kThreadsPerLine = kBlocksPerLine * 32;

std::atomic<int> threadsRun{0};
std::array<std::atomic<int>, kBlocks> timesRun{};
std::atomic<int> outOfOrder{0};
bool acceptLaunches = true;

void countThread(const void*) { threadsRun.fetch_add(1, std::memory_order_relaxed); }

bool accepts(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  int marker;
  std::memcpy(&marker, record, sizeof marker);
  return acceptLaunches && marker == 7 && grid.x == kBlocks && block.x == 32 &&
         (lines == 0 || lines == kThreadsPerLine);
}

void runBlocks(const void*, const runtime_fast::BlockRect& rect) {
  for (std::uint64_t line = rect.firstLine; line < rect.endLine; ++line) {
    for (std::uint32_t column = rect.firstColumn; column < rect.endColumn; ++column) {
      const std::uint64_t b = line * rect.blocksPerLine + column;
      const std::uint64_t x = b % kBlocksPerLine;
      const bool leftDone = x == 0 || timesRun[b - 1].load() == 1;
      const bool belowDone = b < kBlocksPerLine || timesRun[b - kBlocksPerLine].load() == 1;
      if (!leftDone || !belowDone) outOfOrder.fetch_add(1);
      timesRun[b].fetch_add(1);
    }
  }
}

void stub() {}
const void* stubId() { return reinterpret_cast<const void*>(&stub); }

class FastFormKernel : public testing::Test {
 protected:
  void SetUp() override {
    module_ = __cudaRegisterFatBinary(nullptr);
    ASSERT_EQ(__cudaRegisterFunction(module_, stubId(), &countThread, "countThread", -1, nullptr,
                                     nullptr, nullptr, nullptr, nullptr),
              cudaSuccess);
    ASSERT_EQ(runtime_fast::registerFastForm(stubId(), {&accepts, &runBlocks}), cudaSuccess);
  }
  void TearDown() override {
    __cudaUnregisterFatBinary(module_);
    runtime_testing::useFastForms(true);
    runtime_parallel::setWorkers(runtime_parallel::defaultWorkers());
    runtime_testing::setTileLines(0);
    acceptLaunches = true;
  }

  // Launches with marker `marker`, lines declared or not; returns the threads run one by one.
  int launch(int marker, bool lines) {
    threadsRun = 0;
    outOfOrder = 0;
    for (auto& times : timesRun) times = 0;
    EXPECT_EQ(cudaConfigureCall(dim3(kBlocks), dim3(32)), cudaSuccess);
    if (lines) runtime_parallel::declareNeighbourLines(kThreadsPerLine);
    EXPECT_EQ(cudaSetupArgument(&marker, sizeof marker, 0), cudaSuccess);
    EXPECT_EQ(cudaLaunch(stubId()), cudaSuccess);
    return threadsRun.load();
  }
  bool everyBlockRanOnce() const {
    for (const auto& times : timesRun) {
      if (times.load() != 1) return false;
    }
    return true;
  }

  void** module_ = nullptr;
};

TEST_F(FastFormKernel, RunsInPlaceOfTheThreadsOnlyWhenItAcceptsAndTestsAllow) {
  const struct {
    const char* what;
    int marker;
    bool accepting;
    bool fastFormsOn;
    bool fast;
  } cases[] = {
      {"accepted", 7, true, true, true},
      {"another record", 8, true, true, false},
      {"refused", 7, false, true, false},
      {"thread by thread asked for", 7, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    acceptLaunches = c.accepting;
    runtime_testing::useFastForms(c.fastFormsOn);
    EXPECT_EQ(launch(c.marker, false), c.fast ? 0 : static_cast<int>(kBlocks * 32));
    if (c.fast) {
      EXPECT_TRUE(everyBlockRanOnce());
    }
  }
}

TEST_F(FastFormKernel, TilesOnWorkersRunEveryBlockOnceAfterTheBlocksItReads) {
  for (const unsigned workers : {2u, 3u, 4u}) {
    for (const std::uint32_t tileLines : {1u, 3u}) {
      SCOPED_TRACE(testing::Message() << workers << " workers, tiles of " << tileLines);
      runtime_parallel::setWorkers(workers);
      runtime_testing::setTileLines(tileLines);
      const std::uint64_t sharedBefore = runtime_testing::workerWaits().launches;
      EXPECT_EQ(launch(7, true), 0);
      EXPECT_TRUE(everyBlockRanOnce());
      EXPECT_EQ(outOfOrder.load(), 0);
      EXPECT_EQ(runtime_testing::workerWaits().launches, sharedBefore + 1);
    }
  }
}

TEST(FastFormRegistration, NeedsARegisteredKernelAndBothFunctions) {
  EXPECT_EQ(runtime_fast::registerFastForm(stubId(), {&accepts, &runBlocks}),
            cudaErrorInvalidDeviceFunction);
  EXPECT_EQ(runtime_fast::registerFastForm(stubId(), {&accepts, nullptr}), cudaErrorInvalidValue);
  EXPECT_EQ(runtime_fast::registerFastForm(stubId(), {nullptr, &runBlocks}),
            cudaErrorInvalidValue);
}

}  // namespace
