// What a second worker gives where the user is: frames per second of the running program,
// headless (also on finer grids) and in its window (layered drawing, density over the whole grid), with one and with
// two workers; on a quiet machine and with one core kept busy by another program. Configurations
// are measured in turn, each alone (the others stopped or not started), several seconds each,
// and the medians printed.
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "busy_core.h"
#include "window_timing.h"
#include "x_session.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRepeats = 5;
constexpr int kHeadlessFrames = 500;
constexpr unsigned kWorkerCounts[] = {1, 2};

// A recording that bursts density every 8 cells in its first frame, as spread_density does
// in the window (512 x 512, 126 x 126 cells).
std::string write_bursts(const std::string& dir) {
  const std::string path = dir + "/bursts.rec";
  std::ofstream out(path);
  out << "velmar-recording 1\n";
  for (int i = 4; i <= 126; i += 8) {
    for (int j = 4; j <= 126; j += 8) {
      const int x = cell_pixel_x(j, 126, 512);
      const int y = cell_pixel_y(i, 126, 512);
      out << "1 mouse 2 0 " << x << ' ' << y << "\n1 mouse 2 1 " << x << ' ' << y << '\n';
    }
  }
  return path;
}

// Seconds the program takes with `arguments` after --headless, or 0 if the run failed.
double headless_run_seconds(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {VELMAR_PROGRAM, "--headless"});
  ChildProcess program;
  const auto start = std::chrono::steady_clock::now();
  if (!program.start(arguments, {}, "/dev/null")) return 0;
  int status = 0;
  if (!program.wait_exit(120s, &status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds for kHeadlessFrames frames of the bursts.
double headless_seconds(const std::string& recording, unsigned workers) {
  return headless_run_seconds({"--replay", recording, "--frames", std::to_string(kHeadlessFrames),
                               "--workers", std::to_string(workers)});
}

// Frames per second of a headless run on a finer grid, 1 and 2 workers in turn, medians.
struct FinerGrid {
  int n;
  int frames;
};
constexpr FinerGrid kFinerGrids[] = {{254, 200}, {510, 100}, {1022, 30}};

struct Row {
  double fps[2] = {};
  // The window's frame split: the program's own work (step and draw calls), the renderer
  // finishing the frame, presenting it. Empty for headless rows.
  std::vector<FrameSample> window;
};

Row headless_row(const std::string& recording) {
  std::vector<double> seconds[2];
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    for (int k = 0; k < 2; ++k) seconds[k].push_back(headless_seconds(recording, kWorkerCounts[k]));
  }
  Row row;
  for (int k = 0; k < 2; ++k) {
    const double s = median_of(seconds[k]);
    row.fps[k] = s > 0 ? kHeadlessFrames / s : 0;
  }
  return row;
}

Row finer_grid_row(const FinerGrid& grid) {
  std::vector<double> seconds[2];
  for (int repeat = 0; repeat < 3; ++repeat) {
    for (int k = 0; k < 2; ++k) {
      seconds[k].push_back(headless_run_seconds(
          {"--grid", std::to_string(grid.n), "--frames", std::to_string(grid.frames), "--workers",
           std::to_string(kWorkerCounts[k])}));
    }
  }
  Row row;
  for (int k = 0; k < 2; ++k) {
    const double s = median_of(seconds[k]);
    row.fps[k] = s > 0 ? grid.frames / s : 0;
  }
  return row;
}

Row window_row(TimedWindow (&windows)[2]) {
  Row row;
  row.window = measure_in_turn(windows, kRepeats);
  for (int k = 0; k < 2; ++k) row.fps[k] = row.window[k].fps;
  return row;
}

void print_row(const char* what, const char* machine, const Row& row) {
  std::printf("%-30s %-14s %10.1f %10.1f %8.2f x\n", what, machine, row.fps[0], row.fps[1],
              row.fps[0] > 0 ? row.fps[1] / row.fps[0] : 0.0);
  for (std::size_t k = 0; k < row.window.size(); ++k) {
    const FrameSample& split = row.window[k];
    std::printf("  %u worker(s): frame split own %.2f ms, finish %.2f ms, swap %.2f ms\n",
                kWorkerCounts[k], split.own_ms, split.finish_ms, split.present_ms);
  }
  std::fflush(stdout);
}

}  // namespace

int main() {
  char dir_template[] = "/tmp/velmar-workers-bench-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return 1;
  const std::string dir = dir_template;
  const std::string recording = write_bursts(dir);

  TimedWindow windows[2];
  for (int k = 0; k < 2; ++k) {
    const std::string workers = std::to_string(kWorkerCounts[k]);
    if (!windows[k].start("workers-" + workers, {"--draw=layers", "--workers", workers}, dir)) {
      std::fprintf(stderr, "could not start the program under Xvfb\n");
      return 1;
    }
    spread_density(windows[k]);
  }
  std::this_thread::sleep_for(6s);  // the bursts spread over the grid
  for (TimedWindow& window : windows) kill(window.program.pid(), SIGSTOP);

  std::printf("%-30s %-14s %10s %10s %10s\n", "frames per second", "machine", "1 worker",
              "2 workers", "speedup");
  print_row("headless, bursts", "quiet", headless_row(recording));
  for (const FinerGrid& grid : kFinerGrids) {
    const std::string what = "headless, N = " + std::to_string(grid.n);
    print_row(what.c_str(), "quiet", finer_grid_row(grid));
  }
  print_row("window, layers, density", "quiet", window_row(windows));
  {
    const BusyCore busy;
    print_row("headless, bursts", "one core busy", headless_row(recording));
    print_row("window, layers, density", "one core busy", window_row(windows));
  }
  std::filesystem::remove_all(dir);
  return 0;
}
