// What the runtime layer itself costs: an empty launch, a barrier crossing, an allocation and
// a copy, on kernels of the benchmark's own.
#include <benchmark/benchmark.h>

#include <vector>

#include "cuda_runtime.h"

namespace {

dim3 threadIndex(0, 0, 0);
dim3 blockIndex(0, 0, 0);
dim3 blockSize(0, 0, 0);
dim3 gridSize(0, 0, 0);
int warpSize = 0;

void emptyEntry(const void*) {}
void emptyStub() {}

constexpr int kBarriersPerThread = 20;
cudaDeviceThread barrierThread() {
  for (int k = 0; k < kBarriersPerThread; ++k) co_await __cudaSynchronizeThreads(nullptr, nullptr);
}
void barrierEntry(const void*) { barrierThread(); }
void barrierStub() {}

const void* id(void (*stub)()) { return reinterpret_cast<const void*>(stub); }

void** registerBenchmarkKernels() {
  void** module = __cudaRegisterFatBinary(nullptr);
  __cudaRegisterFunction(module, id(emptyStub), &emptyEntry, "empty", -1, &threadIndex,
                         &blockIndex, &blockSize, &gridSize, &warpSize);
  __cudaRegisterFunction(module, id(barrierStub), &barrierEntry, "barrier", -1, &threadIndex,
                         &blockIndex, &blockSize, &gridSize, &warpSize);
  return module;
}
void** const module = registerBenchmarkKernels();

void launchGrid(void (*stub)()) {
  cudaConfigureCall(dim3(512), dim3(32));
  cudaLaunch(id(stub));
}

void BM_EmptyLaunch512x32(benchmark::State& state) {
  for (auto _ : state) launchGrid(&emptyStub);
  state.counters["threads_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 512 * 32, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmptyLaunch512x32)->Unit(benchmark::kMicrosecond);

// Reported per crossing: one thread passing one barrier.
void BM_BarrierCrossing(benchmark::State& state) {
  for (auto _ : state) launchGrid(&barrierStub);
  state.counters["per_crossing"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 512 * 32 * kBarriersPerThread,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BarrierCrossing)->Unit(benchmark::kMicrosecond);

void BM_MallocFree64KiB(benchmark::State& state) {
  for (auto _ : state) {
    void* buffer = nullptr;
    cudaMalloc(&buffer, 65536);
    benchmark::DoNotOptimize(buffer);
    cudaFree(buffer);
  }
}
BENCHMARK(BM_MallocFree64KiB);

void BM_Copy64KiB(benchmark::State& state) {
  std::vector<unsigned char> host(65536, 1);
  void* device = nullptr;
  cudaMalloc(&device, host.size());
  for (auto _ : state) {
    cudaMemcpy(device, host.data(), host.size(), cudaMemcpyHostToDevice);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 65536);
  cudaFree(device);
}
BENCHMARK(BM_Copy64KiB);

}  // namespace
