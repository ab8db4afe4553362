// The launch path of the runtime layer, on small kernels of the tests' own: configuration,
// argument records, registration, the reference order and the block barrier.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cuda_runtime.h"
#include "runtime_testing.h"

namespace {

dim3 threadIndex(0, 0, 0);
dim3 blockIndex(0, 0, 0);
dim3 blockSize(0, 0, 0);
dim3 gridSize(0, 0, 0);
int warpSize = 0;

int readInt(const void* record, int slot) {
  int value;
  std::memcpy(&value, static_cast<const char*>(record) + 4 * slot, sizeof value);
  return value;
}

// Logs (block, thread, phase) as it goes; slot 0: barriers to cross; slot 1: a thread of
// every block that leaves before its first barrier (-1: none).
struct Visit {
  unsigned block, thread, phase;
  bool operator==(const Visit&) const = default;
};
std::vector<Visit> visits;

cudaDeviceThread tracingThread(int barriers, int leaver) {
  for (int phase = 0; phase <= barriers; ++phase) {
    visits.push_back({blockIndex.x, threadIndex.x, static_cast<unsigned>(phase)});
    if (static_cast<int>(threadIndex.x) == leaver) co_return;
    if (phase < barriers) co_await __cudaSynchronizeThreads(nullptr, nullptr);
  }
}
void tracingEntry(const void* record) { tracingThread(readInt(record, 0), readInt(record, 1)); }
void tracingStub() {}

// Each thread writes its slot of a per-block row, crosses the barrier and reads what its right
// neighbour wrote; a local computed before the barrier must survive it.
int exchangeRow[4][32];
int exchangeSeen[4][32];
cudaDeviceThread exchangeThread() {
  const unsigned b = blockIndex.x;
  const unsigned t = threadIndex.x;
  const int mine = static_cast<int>(100 * b + t);
  exchangeRow[b][t] = mine;
  co_await __cudaSynchronizeThreads(nullptr, nullptr);
  exchangeSeen[b][t] = exchangeRow[b][(t + 1) % 32] - mine;
}
void exchangeEntry(const void*) { exchangeThread(); }
void exchangeStub() {}

// A thread with a large frame of its own, which no other test kernel's frame can stand in for;
// what it keeps in the frame must survive the barrier.
cudaDeviceThread roomyThread() {
  volatile unsigned char scratch[2000];
  scratch[1999] = static_cast<unsigned char>(threadIndex.x);
  co_await __cudaSynchronizeThreads(nullptr, nullptr);
  visits.push_back({blockIndex.x, scratch[1999], 1});
}
void roomyEntry(const void*) { roomyThread(); }
void roomyStub() {}

// Records the record bytes and the published sizes.
std::vector<unsigned char> recordSeen;
std::vector<dim3> indicesSeen;
void recordingEntry(const void* record) {
  recordSeen.assign(static_cast<const unsigned char*>(record),
                    static_cast<const unsigned char*>(record) + 12);
  indicesSeen.push_back(threadIndex);
}
void recordingStub() {}

cudaError_t nestedStatus = cudaSuccess;
void nestingEntry(const void*) {
  if (threadIndex.x == 0 && blockIndex.x == 0) nestedStatus = cudaLaunch(
      reinterpret_cast<const void*>(&recordingStub));
}
void nestingStub() {}

const void* id(void (*stub)()) { return reinterpret_cast<const void*>(stub); }

class RuntimeLaunch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module = __cudaRegisterFatBinary(nullptr);
    ASSERT_NE(module, nullptr);
    registerKernel(&tracingStub, &tracingEntry, "tracing");
    registerKernel(&exchangeStub, &exchangeEntry, "exchange");
    registerKernel(&recordingStub, &recordingEntry, "recording");
    registerKernel(&nestingStub, &nestingEntry, "nesting");
    registerKernel(&roomyStub, &roomyEntry, "roomy");
  }
  static void TearDownTestSuite() { __cudaUnregisterFatBinary(module); }
  void SetUp() override {
    visits.clear();
    recordSeen.clear();
    indicesSeen.clear();
  }

  static void registerKernel(void (*stub)(), cudaEntryThunk entry, const char* name) {
    ASSERT_EQ(__cudaRegisterFunction(module, id(stub), entry, name, -1, &threadIndex, &blockIndex,
                                     &blockSize, &gridSize, &warpSize),
              cudaSuccess);
  }

  static cudaError_t launchTracing(dim3 grid, dim3 block, int barriers, int leaver = -1) {
    EXPECT_EQ(cudaConfigureCall(grid, block), cudaSuccess);
    EXPECT_EQ(cudaSetupArgument(&barriers, 4, 0), cudaSuccess);
    EXPECT_EQ(cudaSetupArgument(&leaver, 4, 4), cudaSuccess);
    return cudaLaunch(id(tracingStub));
  }

  static inline void** module = nullptr;
};

std::vector<Visit> referenceOrder(unsigned blocks, unsigned threads, unsigned barriers) {
  std::vector<Visit> order;
  for (unsigned b = 0; b < blocks; ++b)
    for (unsigned phase = 0; phase <= barriers; ++phase)
      for (unsigned t = 0; t < threads; ++t) order.push_back({b, t, phase});
  return order;
}

TEST_F(RuntimeLaunch, RunsBlocksInTurnAndThreadsInTurnBetweenBarriers) {
  for (unsigned barriers : {0u, 1u, 3u}) {
    visits.clear();
    ASSERT_EQ(launchTracing(dim3(3), dim3(5), static_cast<int>(barriers)), cudaSuccess);
    EXPECT_EQ(visits, referenceOrder(3, 5, barriers)) << barriers << " barriers";
  }
  // The program's geometry, with the twenty barriers of its pressure relaxation.
  visits.clear();
  ASSERT_EQ(launchTracing(dim3(512), dim3(32), 20), cudaSuccess);
  EXPECT_EQ(visits, referenceOrder(512, 32, 20));
  EXPECT_EQ(blockSize.x, 32u);
  EXPECT_EQ(gridSize.x, 512u);
  EXPECT_EQ(warpSize, 32);
}

TEST_F(RuntimeLaunch, BarrierMakesEveryWriteOfTheBlockVisible) {
  std::memset(exchangeRow, 0, sizeof exchangeRow);
  ASSERT_EQ(cudaConfigureCall(dim3(4), dim3(32)), cudaSuccess);
  ASSERT_EQ(cudaLaunch(id(exchangeStub)), cudaSuccess);
  for (int b = 0; b < 4; ++b) {
    for (int t = 0; t < 32; ++t) {
      const int expected = t == 31 ? -31 : 1;  // the neighbour of thread 31 is thread 0
      EXPECT_EQ(exchangeSeen[b][t], expected) << "block " << b << " thread " << t;
    }
  }
}

TEST_F(RuntimeLaunch, UnevenBarriersFinishEveryThreadButFailTheLaunch) {
  // A thread other than 0 leaves early: the others go on without it.
  ASSERT_EQ(launchTracing(dim3(2), dim3(4), 2, 2), cudaErrorLaunchFailure);
  std::vector<Visit> expected;
  for (unsigned b = 0; b < 2; ++b) {
    for (unsigned t = 0; t < 4; ++t) expected.push_back({b, t, 0});
    for (unsigned phase = 1; phase <= 2; ++phase)
      for (unsigned t : {0u, 1u, 3u}) expected.push_back({b, t, phase});
  }
  EXPECT_EQ(visits, expected);

  // Thread 0 leaves early: the others meet barriers it never reached.
  visits.clear();
  EXPECT_EQ(launchTracing(dim3(2), dim3(4), 1, 0), cudaErrorLaunchFailure);
  EXPECT_EQ(visits.size(), 2u * (1 + 3 * 2));

  // The runner is sound again for the next launch.
  visits.clear();
  EXPECT_EQ(launchTracing(dim3(2), dim3(4), 1), cudaSuccess);
  EXPECT_EQ(visits, referenceOrder(2, 4, 1));
}

TEST_F(RuntimeLaunch, ThreadFramesAreRecycledAndARefusedFrameFailsTheLaunch) {
  // Once a launch has run, the same launch again needs no new host memory.
  ASSERT_EQ(launchTracing(dim3(4), dim3(32), 20), cudaSuccess);
  runtime_testing::injectFault(runtime_testing::RuntimeCall::ThreadFrame, 1, cudaErrorMemoryAllocation);
  visits.clear();
  EXPECT_EQ(launchTracing(dim3(512), dim3(32), 20), cudaSuccess);
  EXPECT_EQ(visits, referenceOrder(512, 32, 20));
  runtime_testing::clearFaults();

  // Thread 1 of the first block cannot get a frame: it never runs, the others still do, and
  // the launch says so.
  runtime_testing::injectFault(runtime_testing::RuntimeCall::ThreadFrame, 2, cudaErrorMemoryAllocation);
  visits.clear();
  ASSERT_EQ(cudaConfigureCall(dim3(2), dim3(4)), cudaSuccess);
  EXPECT_EQ(cudaLaunch(id(roomyStub)), cudaErrorMemoryAllocation);
  runtime_testing::clearFaults();
  const std::vector<Visit> survivors = {{0, 0, 1}, {0, 2, 1}, {0, 3, 1},
                                        {1, 0, 1}, {1, 1, 1}, {1, 2, 1}, {1, 3, 1}};
  EXPECT_EQ(visits, survivors);

  visits.clear();
  ASSERT_EQ(cudaConfigureCall(dim3(2), dim3(4)), cudaSuccess);
  EXPECT_EQ(cudaLaunch(id(roomyStub)), cudaSuccess);
  EXPECT_EQ(visits.size(), 8u);

  // A block of large frames that outgrows the runtime's own store of frames still runs whole.
  visits.clear();
  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(1024)), cudaSuccess);
  EXPECT_EQ(cudaLaunch(id(roomyStub)), cudaSuccess);
  ASSERT_EQ(visits.size(), 1024u);
  int framesShared = 0;
  for (unsigned k = 0; k < 1024; ++k) framesShared += visits[k].thread != k % 256 ? 1 : 0;
  EXPECT_EQ(framesShared, 0) << "every thread kept what it wrote into its own frame";
}

TEST_F(RuntimeLaunch, ConfigurationServesExactlyOneLaunch) {
  ASSERT_EQ(launchTracing(dim3(1), dim3(2), 0), cudaSuccess);
  EXPECT_EQ(cudaLaunch(id(tracingStub)), cudaErrorMissingConfiguration);
  EXPECT_EQ(visits.size(), 2u) << "the second launch ran nothing";

  int value = 1;
  EXPECT_EQ(cudaSetupArgument(&value, 4, 0), cudaErrorMissingConfiguration);
}

TEST_F(RuntimeLaunch, RecordCarriesTheBytesSetUpAndIndicesAreMultiDimensional) {
  const unsigned char bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(2, 1, 2)), cudaSuccess);
  ASSERT_EQ(cudaSetupArgument(bytes + 8, 4, 8), cudaSuccess);  // set up out of order
  ASSERT_EQ(cudaSetupArgument(bytes, 8, 0), cudaSuccess);

  std::vector<unsigned char> observed;
  runtime_testing::setLaunchObserver(
      [&](const runtime_testing::LaunchObservation& launch) { observed = launch.record; });
  ASSERT_EQ(cudaLaunch(id(recordingStub)), cudaSuccess);
  runtime_testing::setLaunchObserver({});

  const std::vector<unsigned char> expected(bytes, bytes + 12);
  EXPECT_EQ(recordSeen, expected);
  EXPECT_EQ(observed, expected);
  ASSERT_EQ(indicesSeen.size(), 4u);
  const unsigned xyz[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(indicesSeen[k].x, xyz[k][0]);
    EXPECT_EQ(indicesSeen[k].y, xyz[k][1]);
    EXPECT_EQ(indicesSeen[k].z, xyz[k][2]);
  }
}

TEST_F(RuntimeLaunch, EveryConfigurationStartsAZeroedRecord) {
  // Each row: the slots set up (slot, value; -1 ends), whether it launches, what the kernel
  // reads in slots 0 to 2. A slot left unset reads zero, never an earlier launch's bytes, and
  // a configuration that never launched leaves nothing behind for the next.
  struct Row {
    int set[3][2];
    bool launch;
    int seen[3];
  };
  const Row rows[] = {
      {{{0, 7}, {1, 8}, {2, 9}}, true, {7, 8, 9}},
      {{{0, 11}, {2, 13}, {-1, 0}}, true, {11, 0, 13}},
      {{{1, 99}, {2, 98}, {-1, 0}}, false, {}},
      {{{0, 21}, {-1, 0}, {-1, 0}}, true, {21, 0, 0}},
      {{{-1, 0}, {-1, 0}, {-1, 0}}, true, {0, 0, 0}},
  };
  int rowIndex = 0;
  for (const Row& row : rows) {
    ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(1)), cudaSuccess);
    for (const auto& [slot, value] : row.set) {
      if (slot >= 0) {
        ASSERT_EQ(cudaSetupArgument(&value, 4, 4 * slot), cudaSuccess);
      }
    }
    if (row.launch) {
      recordSeen.clear();
      ASSERT_EQ(cudaLaunch(id(recordingStub)), cudaSuccess);
      ASSERT_EQ(recordSeen.size(), 12u);
      for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(readInt(recordSeen.data(), slot), row.seen[slot])
            << "row " << rowIndex << " slot " << slot;
      }
    }
    ++rowIndex;
  }
}

TEST_F(RuntimeLaunch, RefusedArgumentCancelsTheLaunch) {
  const int value = 5;
  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(2)), cudaSuccess);
  EXPECT_EQ(cudaSetupArgument(&value, 4, 0), cudaSuccess);
  EXPECT_NE(cudaSetupArgument(&value, 4, kArgumentRecordCapacity - 2), cudaSuccess);
  EXPECT_NE(cudaSetupArgument(&value, 4, static_cast<std::size_t>(-2)), cudaSuccess);
  EXPECT_NE(cudaSetupArgument(&value, 0, 4), cudaSuccess);
  EXPECT_NE(cudaSetupArgument(nullptr, 4, 4), cudaSuccess);
  EXPECT_NE(cudaLaunch(id(tracingStub)), cudaSuccess);
  EXPECT_TRUE(visits.empty());
}

TEST_F(RuntimeLaunch, BadConfigurationsAndLaunchesAreRefused) {
  const dim3 bad[][2] = {{dim3(0), dim3(32)},          {dim3(1), dim3(0)},
                         {dim3(1, 0), dim3(32)},       {dim3(1), dim3(1025)},
                         {dim3(1), dim3(64, 32)},      {dim3(1, 65536), dim3(1)}};
  for (const auto& config : bad) {
    EXPECT_EQ(cudaConfigureCall(config[0], config[1]), cudaErrorInvalidConfiguration);
  }
  EXPECT_EQ(cudaConfigureCall(dim3(1), dim3(1), 1 << 20), cudaErrorInvalidConfiguration);
  EXPECT_EQ(cudaConfigureCall(dim3(1), dim3(1), 0, reinterpret_cast<cudaStream_t>(8)),
            cudaErrorInvalidResourceHandle);
  EXPECT_EQ(cudaLaunch(id(tracingStub)), cudaErrorMissingConfiguration);

  int unregisteredFunction = 0;
  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(1)), cudaSuccess);
  EXPECT_EQ(cudaLaunch(&unregisteredFunction), cudaErrorInvalidDeviceFunction);

  // A kernel cannot launch another while it runs.
  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(2)), cudaSuccess);
  ASSERT_EQ(cudaLaunch(id(nestingStub)), cudaSuccess);
  EXPECT_EQ(nestedStatus, cudaErrorNotPermitted);
  EXPECT_TRUE(recordSeen.empty());

  // Outside a launch a barrier has nobody to wait for: the thread runs straight through.
  threadIndex = blockIndex = dim3(0, 0, 0);
  tracingThread(2, -1);
  EXPECT_EQ(visits, referenceOrder(1, 1, 2));
}

TEST(RuntimeRegistration, TableIsKeyedByStubAndReleasedWithItsModule) {
  void** module = __cudaRegisterFatBinary(nullptr);
  ASSERT_NE(module, nullptr);
  dim3 t(0, 0, 0), b(0, 0, 0), bs(0, 0, 0), gs(0, 0, 0);
  int w = 0;
  ASSERT_EQ(__cudaRegisterFunction(module, id(recordingStub), &recordingEntry, "_Z3onev", -1, &t,
                                   &b, &bs, &gs, &w),
            cudaSuccess);
  EXPECT_EQ(__cudaRegisterFunction(module, id(recordingStub), &recordingEntry, "_Z3twov", -1, &t,
                                   &b, &bs, &gs, &w),
            cudaErrorInvalidValue)
      << "one registration per stub";
  int notAModule = 0;
  EXPECT_EQ(__cudaRegisterFunction(reinterpret_cast<void**>(&notAModule), id(tracingStub),
                                   &tracingEntry, "x", -1, &t, &b, &bs, &gs, &w),
            cudaErrorInvalidResourceHandle);

  const auto functions = runtime_testing::registeredFunctions();
  ASSERT_FALSE(functions.empty());
  const auto& last = functions.back();
  EXPECT_EQ(last.module, module);
  EXPECT_EQ(last.hostFunction, id(recordingStub));
  EXPECT_EQ(last.deviceFunction, &recordingEntry);
  EXPECT_EQ(last.deviceName, "_Z3onev");
  EXPECT_EQ(last.threadLimit, -1);
  EXPECT_EQ(last.threadIndex, &t);
  EXPECT_EQ(last.blockIndex, &b);
  EXPECT_EQ(last.warpSize, &w);

  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(3)), cudaSuccess);
  ASSERT_EQ(cudaLaunch(id(recordingStub)), cudaSuccess);
  EXPECT_EQ(t.x, 2u) << "the registration's own index variables are published";
  EXPECT_EQ(bs.x, 3u);

  EXPECT_EQ(__cudaUnregisterFatBinary(module), cudaSuccess);
  EXPECT_EQ(__cudaUnregisterFatBinary(module), cudaErrorInvalidResourceHandle);
  ASSERT_EQ(cudaConfigureCall(dim3(1), dim3(1)), cudaSuccess);
  EXPECT_EQ(cudaLaunch(id(recordingStub)), cudaErrorInvalidDeviceFunction);
}

}  // namespace
