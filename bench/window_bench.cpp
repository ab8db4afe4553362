// Frames per second of the window under Xvfb, cell by cell against layered, with the default
// views: an empty grid and density over every interior cell, each running and paused, on the
// default grid or on the one `--grid N` names (4 pixels a cell; N = 254 fills the 1024-pixel
// screen height). Both programs live side by side, each on its own Xvfb; only the one being
// measured runs (the other is stopped), and the measurements alternate, so a busy machine slows
// both alike. A preloaded shim logs every buffer swap, which also splits the frame into the
// program's own work (step and draw calls), the GL finishing the frame, and presenting it.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "window_timing.h"

using namespace std::chrono_literals;

namespace {

constexpr int kCellPixels = 4;
constexpr int kRepeats = 3;

// The grid measured, and the window it opens at: 4 pixels a cell.
int grid_n = 126;
int window_side() { return (grid_n + 2) * kCellPixels; }

// Interior cells whose centre pixel is not black.
int lit_cells(XClient& x) {
  const Capture c = x.capture();
  if (c.width != window_side() || c.height != window_side()) return -1;
  int lit = 0;
  for (int i = 1; i <= grid_n; ++i) {
    for (int j = 1; j <= grid_n; ++j) {
      const int side = window_side();
      lit += c.at(cell_pixel_x(j, grid_n, side), cell_pixel_y(i, grid_n, side)) != 0;
    }
  }
  return lit;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--grid") {
    grid_n = std::atoi(argv[2]);
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: window_bench [--grid N]\n");
    return 2;
  }
  char dir_template[] = "/tmp/velmar-window-bench-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return 1;
  const std::string dir = dir_template;
  const std::string grid = std::to_string(grid_n);
  TimedWindow runs[2];
  if (!runs[0].start("cells", {"--draw=cells", "--grid", grid}, dir) ||
      !runs[1].start("layers", {"--draw=layers", "--grid", grid}, dir)) {
    std::fprintf(stderr, "could not start the programs under Xvfb\n");
    return 1;
  }
  const auto both = [&](const auto& action) {
    for (TimedWindow& run : runs) action(run);
  };
  const auto stop = [](TimedWindow& run) { kill(run.program.pid(), SIGSTOP); };
  const auto resume = [](TimedWindow& run) { kill(run.program.pid(), SIGCONT); };

  std::printf("grid of %d x %d interior cells, window of %d x %d pixels\n", grid_n, grid_n,
              window_side(), window_side());
  std::printf("%-34s %-7s %8s %9s %9s %9s %9s\n", "scene", "drawing", "fps", "frame ms",
              "own ms", "finish ms", "swap ms");
  const auto phase = [&](const char* scene) {
    both(stop);
    const std::vector<FrameSample> medians = measure_in_turn(runs, kRepeats);
    for (int r = 0; r < 2; ++r) {
      const FrameSample& m = medians[r];
      std::printf("%-34s %-7s %8.1f %9.2f %9.2f %9.2f %9.2f\n", scene, runs[r].name.c_str(), m.fps,
                  m.fps > 0 ? 1000.0 / m.fps : 0.0, m.own_ms, m.finish_ms, m.present_ms);
    }
    std::printf("%-34s layers / cells: %.1f x\n", scene, medians[1].fps / medians[0].fps);
    std::fflush(stdout);
    both(resume);
  };

  phase("empty grid, running");
  both([](TimedWindow& run) { run.x.type('s'); });
  phase("empty grid, paused");

  // Bursts on a lattice every 8 cells, fed while running, spread density over the whole grid.
  both([](TimedWindow& run) { run.x.type('s'); });
  both([](TimedWindow& run) { spread_density(run, grid_n, window_side()); });
  std::this_thread::sleep_for(6s);
  const auto report_lit = [&] {
    for (TimedWindow& run : runs) {
      std::printf("%s: %d of %d interior cells lit\n", run.name.c_str(), lit_cells(run.x),
                  grid_n * grid_n);
    }
  };
  report_lit();
  phase("density over the grid, running");
  both([](TimedWindow& run) { run.x.type('s'); });
  phase("density over the grid, paused");
  report_lit();
  std::printf("own: from swap return to next swap (frame step, draw calls, event loop); finish: "
              "the GL completing the frame; swap: presenting it.\n");
  return 0;
}
