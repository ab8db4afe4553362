// What a headless session costs beyond the step itself, and what one picture costs.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

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
#include "view_drawing.h"

namespace {

constexpr int kFrames = 1000;

// 1,000 headless frames against 1,000 bare step calls, in turn from the same state, so that
// the machine's noise hits both alike.
void BM_HeadlessFramesVersusStepCalls(benchmark::State& state) {
  static auto start = std::make_unique<FluidState>();
  loadGoldenState(*start);
  std::vector<double> headlessMs, stepsMs;
  for (auto _ : state) {
    fluid = *start;
    headlessMs.push_back(millisecondsOf([] { run_headless(kFrames); }));
    fluid = *start;
    stepsMs.push_back(millisecondsOf([] {
      for (int frame = 0; frame < kFrames; ++frame) gpuCalcFluid();
    }));
  }
  state.counters["headless_ms"] = median(headlessMs);
  state.counters["step_calls_ms"] = median(stepsMs);
  state.counters["ratio"] = median(headlessMs) / median(stepsMs);
}
BENCHMARK(BM_HeadlessFramesVersusStepCalls)->Unit(benchmark::kMillisecond)->Iterations(5);

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
