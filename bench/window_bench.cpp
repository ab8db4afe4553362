// Frames per second of the window under Xvfb, cell by cell against layered, with the default
// views: an empty grid and density over every interior cell, each running and paused. Both
// programs live side by side, each on its own Xvfb; only the one being measured runs (the
// other is stopped), and the measurements alternate, so a busy machine slows both alike.
// A preloaded shim logs every buffer swap, which also splits the frame into the program's own
// work (step and draw calls), the GL finishing the frame, and presenting it.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "window_timing.h"

using namespace std::chrono_literals;

namespace {

constexpr int kWindowSide = 512;
constexpr int kCellPixels = 4;
constexpr int kN = 126;
constexpr int kRepeats = 3;
constexpr auto kWarmUp = 700ms;
constexpr auto kWindow = 2500ms;

int pixel_x(int j) { return j * kCellPixels + kCellPixels / 2; }
int pixel_y(int i) { return kWindowSide - (i * kCellPixels + kCellPixels / 2); }

// Interior cells whose centre pixel is not black.
int lit_cells(XClient& x) {
  const Capture c = x.capture();
  if (c.width != kWindowSide || c.height != kWindowSide) return -1;
  int lit = 0;
  for (int i = 1; i <= kN; ++i) {
    for (int j = 1; j <= kN; ++j) lit += c.at(pixel_x(j), pixel_y(i)) != 0;
  }
  return lit;
}

}  // namespace

int main() {
  char dir_template[] = "/tmp/velmar-window-bench-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return 1;
  const std::string dir = dir_template;
  TimedWindow runs[2];
  if (!runs[0].start("cells", {"--draw=cells"}, dir) ||
      !runs[1].start("layers", {"--draw=layers"}, dir)) {
    std::fprintf(stderr, "could not start the programs under Xvfb\n");
    return 1;
  }
  const auto both = [&](const auto& action) {
    for (TimedWindow& run : runs) action(run);
  };
  const auto stop = [](TimedWindow& run) { kill(run.program.pid(), SIGSTOP); };
  const auto resume = [](TimedWindow& run) { kill(run.program.pid(), SIGCONT); };

  std::printf("%-34s %-7s %8s %9s %9s %9s %9s\n", "scene", "drawing", "fps", "frame ms",
              "own ms", "finish ms", "swap ms");
  const auto phase = [&](const char* scene) {
    std::vector<double> fps[2], own[2], finish[2], present[2];
    both(stop);
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
      for (int r = 0; r < 2; ++r) {
        const FrameSample s = measure_frames(runs[r], kWarmUp, kWindow);
        fps[r].push_back(s.fps);
        own[r].push_back(s.own_ms);
        finish[r].push_back(s.finish_ms);
        present[r].push_back(s.present_ms);
      }
    }
    for (int r = 0; r < 2; ++r) {
      const double f = median_of(fps[r]);
      std::printf("%-34s %-7s %8.1f %9.2f %9.2f %9.2f %9.2f\n", scene, runs[r].name.c_str(), f,
                  f > 0 ? 1000.0 / f : 0.0, median_of(own[r]), median_of(finish[r]), median_of(present[r]));
    }
    std::printf("%-34s layers / cells: %.1f x\n", scene, median_of(fps[1]) / median_of(fps[0]));
    std::fflush(stdout);
    both(resume);
  };

  phase("empty grid, running");
  both([](TimedWindow& run) { run.x.type('s'); });
  phase("empty grid, paused");

  // Bursts on a lattice every 8 cells, fed while running, spread density over the whole grid.
  both([](TimedWindow& run) { run.x.type('s'); });
  both(spread_density);
  std::this_thread::sleep_for(6s);
  for (TimedWindow& run : runs) {
    std::printf("%s: %d of %d interior cells lit\n", run.name.c_str(), lit_cells(run.x), kN * kN);
  }
  phase("density over the grid, running");
  both([](TimedWindow& run) { run.x.type('s'); });
  phase("density over the grid, paused");
  for (TimedWindow& run : runs) {
    std::printf("%s: %d of %d interior cells lit\n", run.name.c_str(), lit_cells(run.x), kN * kN);
  }
  std::printf("own: from swap return to next swap (frame step, draw calls, event loop); finish: "
              "the GL completing the frame; swap: presenting it.\n");
  return 0;
}
