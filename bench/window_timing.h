// Timing the real program's window under a private Xvfb: a preloaded shim logs every buffer
// swap (swap_timing_shim.c), which gives frames per second and splits each frame into the
// program's own work, the GL finishing it, and presenting it.
#pragma once

#include <chrono>
#include <span>
#include <string>
#include <vector>

#include "x_session.h"

// The program in a window of its own, on an Xvfb of its own, with its swaps logged.
struct TimedWindow {
  std::string name;
  std::string log_path;
  XvfbServer xvfb;
  ChildProcess program;
  XClient x;

  // Starts the program with `options` and attaches to its window; `preload` (a library's path)
  // goes into the program besides the swap log's shim.
  bool start(const std::string& label, const std::vector<std::string>& options,
             const std::string& dir, const std::string& preload = "");
};

// One measurement window: frames per second and the mean split of a frame, in milliseconds.
struct FrameSample {
  double fps = 0, own_ms = 0, finish_ms = 0, present_ms = 0;
};

// Lets a stopped program run (SIGCONT) for `warm_up`, measures it for `window`, and stops it
// again, so that programs measured in turn never compete with each other.
FrameSample measure_frames(TimedWindow& run,
                           std::chrono::milliseconds warm_up = std::chrono::milliseconds(700),
                           std::chrono::milliseconds window = std::chrono::milliseconds(2500));

// Where the centre of cell (i, j) of a grid of n x n interior cells is drawn in a square window
// of `side` pixels: cell_size is the side over n, in whole pixels.
int cell_pixel_x(int j, int n, int side);
int cell_pixel_y(int i, int n, int side);

// Measures each of `runs` in turn, `repeats` times, and gives each one's medians, field by
// field, in the same order.
std::vector<FrameSample> measure_in_turn(std::span<TimedWindow> runs, int repeats);

// Right-clicks a burst every 8 cells, so that density soon covers the whole grid.
void spread_density(TimedWindow& run, int n = 126, int side = 512);

double median_of(std::vector<double> values);
