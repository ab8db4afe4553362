// Frames per second of the window under Xvfb, cell by cell against layered, with the default
// views: an empty grid and density over every interior cell, each running and paused, on the
// default grid or on the one `--grid N` names (4 pixels a cell; N = 254 fills the 1024-pixel
// screen height). Both
// programs live side by side, each on its own Xvfb; only the one being measured runs (the
// other is stopped), and the measurements alternate, so a busy machine slows both alike.
// A preloaded shim logs every buffer swap, which also splits the frame into the program's own
// work (step and draw calls), the GL finishing the frame, and presenting it.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "x_session.h"

using namespace std::chrono_literals;

namespace {

constexpr int kCellPixels = 4;
constexpr int kRepeats = 3;

// The grid measured, and the window it opens at: 4 pixels a cell.
int grid_n = 126;
int window_side() { return (grid_n + 2) * kCellPixels; }
constexpr auto kWarmUp = 700ms;
constexpr auto kWindow = 2500ms;

long long now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

struct Swap {
  long long called, finished, returned;
};

struct Run {
  std::string name;
  std::string log_path;
  XvfbServer xvfb;
  ChildProcess program;
  XClient x;

  bool start(const std::string& drawing, const std::string& dir) {
    name = drawing;
    log_path = dir + "/swaps-" + drawing;
    if (!xvfb.start("/dev/null")) return false;
    if (!program.start({VELMAR_PROGRAM, "--draw=" + drawing, "--grid", std::to_string(grid_n)},
                       {"DISPLAY=" + xvfb.display_name(), std::string("LD_PRELOAD=") + SWAP_TIMING_SHIM,
                        "VELMAR_SWAP_LOG=" + log_path},
                       "/dev/null")) {
      return false;
    }
    return x.connect(xvfb.display_name()) && x.attach_to_window("Velmar Stable Fluids", 10s);
  }

  std::vector<Swap> swaps() const {
    std::vector<Swap> all;
    std::ifstream in(log_path);
    Swap s;
    while (in >> s.called >> s.finished >> s.returned) all.push_back(s);
    return all;
  }
};

// One measurement window: frames per second and the mean split of a frame, in milliseconds.
struct Sample {
  double fps = 0, own_ms = 0, finish_ms = 0, present_ms = 0;
};

Sample measure(Run& run) {
  const pid_t pid = run.program.pid();
  kill(pid, SIGCONT);
  std::this_thread::sleep_for(kWarmUp);
  const long long from = now_ns();
  std::this_thread::sleep_for(kWindow);
  const long long to = now_ns();
  kill(pid, SIGSTOP);
  std::vector<Swap> in;
  for (const Swap& s : run.swaps()) {
    if (s.called >= from && s.called <= to) in.push_back(s);
  }
  Sample sample;
  if (in.size() < 2) return sample;
  const double frames = static_cast<double>(in.size() - 1);
  sample.fps = frames * 1e9 / static_cast<double>(in.back().called - in.front().called);
  for (std::size_t k = 0; k + 1 < in.size(); ++k) {
    sample.own_ms += (in[k + 1].called - in[k].returned) / 1e6 / frames;
    sample.finish_ms += (in[k].finished - in[k].called) / 1e6 / frames;
    sample.present_ms += (in[k].returned - in[k].finished) / 1e6 / frames;
  }
  return sample;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Where cell (i, j) is drawn: cell_size is the window's side over N, in whole pixels.
int cell_size() { return window_side() / grid_n; }
int pixel_x(int j) { return j * cell_size() + cell_size() / 2; }
int pixel_y(int i) { return window_side() - (i * cell_size() + cell_size() / 2); }

// Interior cells whose centre pixel is not black.
int lit_cells(XClient& x) {
  const Capture c = x.capture();
  if (c.width != window_side() || c.height != window_side()) return -1;
  int lit = 0;
  for (int i = 1; i <= grid_n; ++i) {
    for (int j = 1; j <= grid_n; ++j) lit += c.at(pixel_x(j), pixel_y(i)) != 0;
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
  Run runs[2];
  if (!runs[0].start("cells", dir) || !runs[1].start("layers", dir)) {
    std::fprintf(stderr, "could not start the programs under Xvfb\n");
    return 1;
  }
  const auto both = [&](const auto& action) {
    for (Run& run : runs) action(run);
  };
  const auto stop = [](Run& run) { kill(run.program.pid(), SIGSTOP); };
  const auto resume = [](Run& run) { kill(run.program.pid(), SIGCONT); };

  std::printf("grid of %d x %d interior cells, window of %d x %d pixels\n", grid_n, grid_n,
              window_side(), window_side());
  std::printf("%-34s %-7s %8s %9s %9s %9s %9s\n", "scene", "drawing", "fps", "frame ms",
              "own ms", "finish ms", "swap ms");
  const auto phase = [&](const char* scene) {
    std::vector<double> fps[2], own[2], finish[2], present[2];
    both(stop);
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
      for (int r = 0; r < 2; ++r) {
        const Sample s = measure(runs[r]);
        fps[r].push_back(s.fps);
        own[r].push_back(s.own_ms);
        finish[r].push_back(s.finish_ms);
        present[r].push_back(s.present_ms);
      }
    }
    for (int r = 0; r < 2; ++r) {
      const double f = median(fps[r]);
      std::printf("%-34s %-7s %8.1f %9.2f %9.2f %9.2f %9.2f\n", scene, runs[r].name.c_str(), f,
                  f > 0 ? 1000.0 / f : 0.0, median(own[r]), median(finish[r]), median(present[r]));
    }
    std::printf("%-34s layers / cells: %.1f x\n", scene, median(fps[1]) / median(fps[0]));
    std::fflush(stdout);
    both(resume);
  };

  phase("empty grid, running");
  both([](Run& run) { run.x.type('s'); });
  phase("empty grid, paused");

  // Bursts on a lattice every 8 cells, fed while running, spread density over the whole grid.
  both([](Run& run) { run.x.type('s'); });
  for (int i = 4; i <= grid_n; i += 8) {
    for (int j = 4; j <= grid_n; j += 8) {
      both([&](Run& run) { run.x.click(3, pixel_x(j), pixel_y(i)); });
    }
  }
  std::this_thread::sleep_for(6s);
  for (Run& run : runs) {
    std::printf("%s: %d of %d interior cells lit\n", run.name.c_str(), lit_cells(run.x),
                grid_n * grid_n);
  }
  phase("density over the grid, running");
  both([](Run& run) { run.x.type('s'); });
  phase("density over the grid, paused");
  for (Run& run : runs) {
    std::printf("%s: %d of %d interior cells lit\n", run.name.c_str(), lit_cells(run.x),
                grid_n * grid_n);
  }
  std::printf("own: from swap return to next swap (frame step, draw calls, event loop); finish: "
              "the GL completing the frame; swap: presenting it.\n");
  return 0;
}
