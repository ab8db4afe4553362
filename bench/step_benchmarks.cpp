// What a step costs: the launched step against the same arithmetic as plain loops, and each
// kernel's launch through the real path, all on the golden scenario's state.
#include <benchmark/benchmark.h>

#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_timing.h"
#include "busy_core.h"
#include "calc_fluid.h"
#include "direct_step.h"
#include "execution_model.h"
#include "golden_scenario.h"
#include "launch_stubs.h"
#include "parallel_launch.h"
#include "pressure_lanes.h"
#include "fast_forms.h"
#include "runtime_testing.h"

namespace {

double millisecondsPerStep(std::uint64_t nanoseconds, std::size_t steps) {
  return static_cast<double>(nanoseconds) / 1e6 / static_cast<double>(steps);
}

// Idle workers sleep a fraction of a millisecond after their last launch; a pause this long
// leaves none of them spinning, as between two frames of the window.
void letIdleWorkersSleep() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

// The step with 1 and 2 workers and the plain loops in turn, from the same state each time, so
// that machine noise hits all alike; each begins with the workers asleep, as a frame of the
// window does, and none of another configuration awake. The counters are medians, the mean
// time 2 workers spent waiting in a step, and what waking the sleeping worker took.
void stepVersusPlainLoops(benchmark::State& state) {
  static auto start = std::make_unique<FluidState>();
  static auto direct = std::make_unique<FluidState>();
  loadGoldenState(*start);
  std::vector<double> stepMs[2], directMs;
  runtime_testing::WorkerWaits waited{};
  for (auto _ : state) {
    for (unsigned workers : {2u, 1u}) {
      runtime_parallel::setWorkers(workers);
      fluid = *start;
      letIdleWorkersSleep();
      const runtime_testing::WorkerWaits before = runtime_testing::workerWaits();
      stepMs[workers - 1].push_back(millisecondsOf([] { gpuCalcFluid(); }));
      if (workers == 2) {
        const runtime_testing::WorkerWaits after = runtime_testing::workerWaits();
        waited.tileWaitNs += after.tileWaitNs - before.tileWaitNs;
        waited.finishWaitNs += after.finishWaitNs - before.finishWaitNs;
        waited.wakeUps += after.wakeUps - before.wakeUps;
        waited.wakeUpNs += after.wakeUpNs - before.wakeUpNs;
        waited.launches += after.launches - before.launches;
      }
    }
    *direct = *start;
    directMs.push_back(millisecondsOf([] { directCalcFluid(*direct); }));
  }
  runtime_parallel::setWorkers(runtime_parallel::defaultWorkers());
  state.counters["step_1w_ms"] = median(stepMs[0]);
  state.counters["step_2w_ms"] = median(stepMs[1]);
  state.counters["plain_loops_ms"] = median(directMs);
  state.counters["speedup_2w"] = median(stepMs[0]) / median(stepMs[1]);
  state.counters["plain_over_2w"] = median(directMs) / median(stepMs[1]);
  state.counters["tile_wait_2w_ms"] = millisecondsPerStep(waited.tileWaitNs, directMs.size());
  state.counters["finish_wait_2w_ms"] = millisecondsPerStep(waited.finishWaitNs, directMs.size());
  state.counters["shared_launches_2w"] =
      static_cast<double>(waited.launches) / static_cast<double>(directMs.size());
  state.counters["wake_up_us"] =
      waited.wakeUps > 0 ? static_cast<double>(waited.wakeUpNs) / 1e3 / waited.wakeUps : 0.0;
}

void BM_StepVersusPlainLoops(benchmark::State& state) { stepVersusPlainLoops(state); }
BENCHMARK(BM_StepVersusPlainLoops)->Unit(benchmark::kMillisecond)->Iterations(100);

// Kernels run by their fast forms (true) or thread by thread, for one benchmark.
class FastForms {
 public:
  explicit FastForms(bool on) { runtime_testing::useFastForms(on); }
  ~FastForms() { runtime_testing::useFastForms(true); }
};

// Steps one after another on the golden state of a grid of the first argument's interior cells
// a side, with as many workers as the second, as a headless run makes them: the workers stay
// awake from one step to the next; the third argument runs the kernels by their fast forms (1)
// or thread by thread (0). The work grows as the cells, (N+2)^2: the cost of a cell tells
// whether anything grows faster.
void BM_CalcFluid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  loadGoldenState(fluid, n);
  runtime_parallel::setWorkers(static_cast<unsigned>(state.range(1)));
  const FastForms fast(state.range(2) != 0);
  const runtime_testing::WorkerWaits before = runtime_testing::workerWaits();
  for (auto _ : state) gpuCalcFluid();
  state.SetLabel(state.range(2) != 0 ? laneInstructionSet() : "thread by thread");
  state.counters["shared_launches"] =
      static_cast<double>(runtime_testing::workerWaits().launches - before.launches) /
      static_cast<double>(state.iterations());
  runtime_parallel::setWorkers(runtime_parallel::defaultWorkers());
  const double cells = static_cast<double>(state.iterations()) * grid_cells(n);
  state.counters["cells_per_s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
  state.counters["time_per_cell"] =
      benchmark::Counter(cells, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  fluid = FluidState{};
}
BENCHMARK(BM_CalcFluid)
    ->Unit(benchmark::kMillisecond)
    ->ArgNames({"n", "workers", "fast"})
    ->ArgsProduct({{126, 254, 510, 1022}, {1, 2}, {0, 1}});

// Device copies of the golden state's fields, for launching single kernels.
struct DeviceFields {
  float* u;
  float* v;
  float* u_prev;
  float* v_prev;
  float* dens;
  float* dens_prev;
  int* boundary;
  std::size_t cells;

  explicit DeviceFields(int n) : cells(grid_cells(n)) {
    static auto s = std::make_unique<FluidState>();
    loadGoldenState(*s, n);
    const std::pair<void**, const void*> buffers[] = {
        {reinterpret_cast<void**>(&u), s->u.data()},
        {reinterpret_cast<void**>(&v), s->v.data()},
        {reinterpret_cast<void**>(&u_prev), s->u_prev.data()},
        {reinterpret_cast<void**>(&v_prev), s->v_prev.data()},
        {reinterpret_cast<void**>(&dens), s->dens.data()},
        {reinterpret_cast<void**>(&dens_prev), s->dens_prev.data()},
        {reinterpret_cast<void**>(&boundary), s->boundary.data()}};
    for (const auto& [buffer, host] : buffers) {
      cudaMalloc(buffer, cells * sizeof(float));
      cudaMemcpy(*buffer, host, cells * sizeof(float), cudaMemcpyHostToDevice);
    }
  }
  ~DeviceFields() {
    for (void* buffer : {static_cast<void*>(u), static_cast<void*>(v),
                         static_cast<void*>(u_prev), static_cast<void*>(v_prev),
                         static_cast<void*>(dens), static_cast<void*>(dens_prev),
                         static_cast<void*>(boundary)}) {
      cudaFree(buffer);
    }
  }
};

void configure(int n) {
  cudaConfigureCall(Size3(blocksPerLaunch(n), 1, 1), Size3(threads_per_block, 1, 1), 0, nullptr);
  runtime_parallel::declareNeighbourLines(static_cast<std::uint32_t>(n + 2));
}

// Each kernel on the golden state of a grid of the first argument's interior cells a side,
// with as many workers as the second, by its fast form (third argument 1) or thread by thread.
template <typename Launch>
void benchmarkLaunch(benchmark::State& state, Launch launch) {
  const int n = static_cast<int>(state.range(0));
  DeviceFields f(n);
  runtime_parallel::setWorkers(static_cast<unsigned>(state.range(1)));
  const FastForms fast(state.range(2) != 0);
  const runtime_testing::WorkerWaits before = runtime_testing::workerWaits();
  for (auto _ : state) {
    configure(n);
    launch(f, n);
  }
  const runtime_testing::WorkerWaits after = runtime_testing::workerWaits();
  runtime_parallel::setWorkers(runtime_parallel::defaultWorkers());
  state.SetLabel(state.range(2) != 0 ? laneInstructionSet() : "thread by thread");
  const auto launches = static_cast<double>(state.iterations());
  state.counters["on_workers"] = static_cast<double>(after.launches - before.launches) / launches;
  state.counters["cells_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(f.cells),
      benchmark::Counter::kIsRate);
}

void BM_LaunchAddSource(benchmark::State& state) {
  benchmarkLaunch(state, [](DeviceFields& f, int n) { gpuLaunchAdd_Source(n, f.u, f.u_prev, 0.2f); });
}
void BM_LaunchDiffuse(benchmark::State& state) {
  benchmarkLaunch(state, [](DeviceFields& f, int n) {
    gpuLaunchDiffuse(n, 1, f.dens_prev, f.dens, 0.5f, 0.2f, f.boundary);
  });
}
void BM_LaunchAdvect(benchmark::State& state) {
  benchmarkLaunch(state, [](DeviceFields& f, int n) {
    gpuLaunchAdvect(n, 1, f.dens_prev, f.dens, f.u, f.v, 0.2f, f.boundary);
  });
}
void BM_LaunchProjectStep1(benchmark::State& state) {
  benchmarkLaunch(state, [](DeviceFields& f, int n) {
    gpuLaunchProjectStep1(n, f.u, f.v, f.u_prev, f.v_prev, f.boundary);
  });
}
void BM_LaunchProjectStep2(benchmark::State& state) {
  benchmarkLaunch(state, [](DeviceFields& f, int n) {
    gpuLaunchProjectStep2(n, f.u_prev, f.v_prev, f.boundary);
  });
}
void BM_LaunchProjectStep3(benchmark::State& state) {
  benchmarkLaunch(state, [](DeviceFields& f, int n) {
    gpuLaunchProjectStep3(n, f.u, f.v, f.u_prev, f.boundary);
  });
}
#define VELMAR_KERNEL_BENCHMARK(name)             \
  BENCHMARK(name)                                 \
      ->Unit(benchmark::kMicrosecond)             \
      ->ArgNames({"n", "workers", "fast"})        \
      ->ArgsProduct({{126, 510}, {1, 2}, {0, 1}})
VELMAR_KERNEL_BENCHMARK(BM_LaunchAddSource);
VELMAR_KERNEL_BENCHMARK(BM_LaunchDiffuse);
VELMAR_KERNEL_BENCHMARK(BM_LaunchAdvect);
VELMAR_KERNEL_BENCHMARK(BM_LaunchProjectStep1);
VELMAR_KERNEL_BENCHMARK(BM_LaunchProjectStep2);
VELMAR_KERNEL_BENCHMARK(BM_LaunchProjectStep3);

// The step with 1 and 2 workers and the plain loops, with one core kept busy by another
// program: a second worker must not cost. Last, as the runtime keeps launches alone for a while
// after such a time.
void BM_StepWithOneCoreBusy(benchmark::State& state) {
  const BusyCore busy;
  stepVersusPlainLoops(state);
}
BENCHMARK(BM_StepWithOneCoreBusy)->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace

BENCHMARK_MAIN();
