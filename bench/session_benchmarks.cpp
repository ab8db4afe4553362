// What a headless session costs beyond the step itself, what one picture costs, and how much
// memory the program holds on the largest grid.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "calc_fluid.h"
#include "cell_list.h"
#include "direct_step.h"
#include "fluid_state.h"
#include "frame_geometry.h"
#include "frame_step.h"
#include "golden_scenario.h"
#include "headless_run.h"
#include "offscreen_context.h"
#include "picture_export.h"
#include "step_settings.h"
#include "view_drawing.h"

namespace {

// Headless frames against as many bare step calls, in turn from the same state, so that the
// machine's noise hits both alike: on the golden state of a grid of the first argument's
// interior cells a side, the second argument's frames, and as many workers as the third (0:
// the program's default for the grid).
void BM_HeadlessFramesVersusStepCalls(benchmark::State& state) {
  static auto start = std::make_unique<FluidState>();
  const int n = static_cast<int>(state.range(0));
  const auto frames = static_cast<int>(state.range(1));
  loadGoldenState(*start, n);
  if (state.range(2) == 0) {
    useDefaultStepWorkers(n);
  } else {
    setStepWorkers(static_cast<unsigned>(state.range(2)));
  }
  std::vector<double> headlessMs, stepsMs;
  for (auto _ : state) {
    fluid = *start;
    headlessMs.push_back(millisecondsOf([&] { run_headless(frames); }));
    fluid = *start;
    stepsMs.push_back(millisecondsOf([&] {
      for (int frame = 0; frame < frames; ++frame) gpuCalcFluid();
    }));
  }
  state.counters["headless_ms"] = median(headlessMs);
  state.counters["step_calls_ms"] = median(stepsMs);
  state.counters["ratio"] = median(headlessMs) / median(stepsMs);
  state.counters["headless_fps"] = frames * 1000.0 / median(headlessMs);
  useDefaultStepWorkers(kDefaultGridInterior);
  fluid = FluidState{};
}
BENCHMARK(BM_HeadlessFramesVersusStepCalls)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->ArgNames({"n", "frames", "workers"})
    ->Args({126, 1000, 0})
    ->Args({254, 100, 2});

// Peak resident memory of the whole program run headless for a few frames on a grid of the
// argument's interior cells a side, from the kernel's account of the finished child.
void BM_PeakResidentMemory(benchmark::State& state) {
  const std::string grid = std::to_string(state.range(0));
  const char* const argv[] = {VELMAR_PROGRAM, "--headless", "--frames", "10", "--grid",
                              grid.c_str(), nullptr};
  long peakKib = 0;
  for (auto _ : state) {
    pid_t child = 0;
    if (posix_spawn(&child, VELMAR_PROGRAM, nullptr, nullptr, const_cast<char* const*>(argv),
                    environ) != 0) {
      state.SkipWithError("the program did not start");
      return;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      state.SkipWithError("the program did not finish cleanly");
      return;
    }
    peakKib = std::max(peakKib, usage.ru_maxrss);
  }
  state.counters["peak_rss_mib"] = static_cast<double>(peakKib) / 1024.0;
}
BENCHMARK(BM_PeakResidentMemory)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->ArgName("n")
    ->Arg(126)
    ->Arg(1022);

// One 512 x 512 picture of the golden state, paused: drawing it off screen cell by cell, then
// reading it back and writing the PNG file.
void BM_OffscreenPictureFrame(benchmark::State& state) {
  loadGoldenState(fluid);
  fluid.run_simulation = 0;
  char folder[] = "/tmp/velmar-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr || !open_offscreen_context(512, 512) ||
      !start_picture_export(folder, 1)) {
    state.SkipWithError("no off-screen context or picture folder");
    return;
  }
  build_cell_list();
  set_up_frame_geometry(512, 512);
  std::vector<double> drawMs, pictureMs;
  std::int64_t frame = 0;
  for (auto _ : state) {
    drawMs.push_back(millisecondsOf([] {
      frame_step();
      draw_frame();
      glFinish();
    }));
    pictureMs.push_back(millisecondsOf([&] { export_picture_if_due(++frame); }));
  }
  state.counters["draw_ms"] = median(drawMs);
  state.counters["png_ms"] = median(pictureMs);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_OffscreenPictureFrame)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
