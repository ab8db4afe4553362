// Frames per second of the window under Xvfb in every drawing, with the default views: an
// empty grid and density over every interior cell, each running and paused, on the default grid
// or on the one `--grid N` names, in a window of 4 pixels a cell or as large as the 1280 x 1024
// screen allows (N = 510: 1024 x 1024, 2 pixels a cell). The drawings: cell by cell; the layers
// with the obstacle and density views in vertex arrays (on a renderer that seems to lack
// textures of any size, played by a preloaded library); the layers as they draw them, one
// image; smooth. All programs live side by side, each on its own Xvfb; only the one being
// measured runs (the others are stopped), and the measurements alternate, so a busy machine
// slows all alike. A preloaded shim logs every buffer swap, which also splits the frame into
// the program's own work (step and draw calls), the GL finishing the frame, and presenting it.
#include <signal.h>
#include <sys/wait.h>
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

constexpr int kRepeats = 3;

// The grid measured, and the side of the window it opened at.
int grid_n = 126;
int window_side = 0;

// Interior cells whose centre pixel is not black.
int lit_cells(XClient& x) {
  const Capture c = x.capture();
  if (c.width != window_side || c.height != window_side) return -1;
  int lit = 0;
  for (int i = 1; i <= grid_n; ++i) {
    for (int j = 1; j <= grid_n; ++j) {
      lit += c.at(cell_pixel_x(j, grid_n, window_side), cell_pixel_y(i, grid_n, window_side)) != 0;
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
  TimedWindow runs[4];
  if (!runs[0].start("cells", {"--draw=cells", "--grid", grid}, dir) ||
      !runs[1].start("arrays", {"--draw=layers", "--grid", grid}, dir, GL_WITHOUT_IMAGE_TEXTURES) ||
      !runs[2].start("layers", {"--draw=layers", "--grid", grid}, dir) ||
      !runs[3].start("smooth", {"--draw=smooth", "--grid", grid}, dir)) {
    std::fprintf(stderr, "could not start the programs under Xvfb\n");
    return 1;
  }
  window_side = runs[0].x.capture().width;
  const auto all = [&](const auto& action) {
    for (TimedWindow& run : runs) action(run);
  };
  const auto stop = [](TimedWindow& run) { kill(run.program.pid(), SIGSTOP); };
  const auto resume = [](TimedWindow& run) { kill(run.program.pid(), SIGCONT); };

  std::printf("grid of %d x %d interior cells, window of %d x %d pixels; arrays: the layers' "
              "vertex arrays, layers: their image\n",
              grid_n, grid_n, window_side, window_side);
  std::printf("%-34s %-7s %8s %9s %9s %9s %9s\n", "scene", "drawing", "fps", "frame ms",
              "own ms", "finish ms", "swap ms");
  const auto phase = [&](const char* scene) {
    all(stop);
    const std::vector<FrameSample> medians = measure_in_turn(runs, kRepeats);
    for (std::size_t r = 0; r < medians.size(); ++r) {
      const FrameSample& m = medians[r];
      std::printf("%-34s %-7s %8.1f %9.2f %9.2f %9.2f %9.2f\n", scene, runs[r].name.c_str(), m.fps,
                  m.fps > 0 ? 1000.0 / m.fps : 0.0, m.own_ms, m.finish_ms, m.present_ms);
    }
    std::printf("%-34s layers / arrays: %.1f x, layers / cells: %.1f x, smooth / cells: %.1f x\n",
                scene, medians[2].fps / medians[1].fps, medians[2].fps / medians[0].fps,
                medians[3].fps / medians[0].fps);
    // A program that has ended measures nothing; say how it ended rather than print zeros alone.
    for (TimedWindow& run : runs) {
      int status = 0;
      if (run.program.pid() > 0 && run.program.wait_exit(std::chrono::milliseconds(0), &status)) {
        std::printf("%s ended: %s %d\n", run.name.c_str(),
                    WIFSIGNALED(status) ? "signal" : "status",
                    WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
      }
    }
    std::fflush(stdout);
    all(resume);
  };

  phase("empty grid, running");
  all([](TimedWindow& run) { run.x.type('s'); });
  phase("empty grid, paused");

  // Bursts on a lattice every 8 cells, fed while running, spread density over the whole grid.
  all([](TimedWindow& run) { run.x.type('s'); });
  all([](TimedWindow& run) { spread_density(run, grid_n, window_side); });
  std::this_thread::sleep_for(6s);
  const auto report_lit = [&] {
    for (TimedWindow& run : runs) {
      std::printf("%s: %d of %d interior cells lit\n", run.name.c_str(), lit_cells(run.x),
                  grid_n * grid_n);
    }
  };
  report_lit();
  phase("density over the grid, running");
  all([](TimedWindow& run) { run.x.type('s'); });
  phase("density over the grid, paused");
  report_lit();
  std::printf("own: from swap return to next swap (frame step, draw calls, event loop); finish: "
              "the GL completing the frame; swap: presenting it.\n");
  return 0;
}
