#include "window_timing.h"

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <fstream>
#include <thread>

namespace {

struct Swap {
  long long called, finished, returned;
};

long long now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

std::vector<Swap> swaps_logged(const std::string& path) {
  std::vector<Swap> all;
  std::ifstream in(path);
  Swap s;
  while (in >> s.called >> s.finished >> s.returned) all.push_back(s);
  return all;
}

}  // namespace

bool TimedWindow::start(const std::string& label, const std::vector<std::string>& options,
                        const std::string& dir, const std::string& preload) {
  name = label;
  log_path = dir + "/swaps-" + label;
  // The programs wait stopped between their measurements. Should the bench's process group be
  // orphaned meanwhile (the shell that started it in the background exits), the kernel sends
  // its stopped members SIGHUP, which would end them; ignored here, the programs inherit it.
  signal(SIGHUP, SIG_IGN);
  if (!xvfb.start("/dev/null")) return false;
  std::vector<std::string> argv{VELMAR_PROGRAM};
  argv.insert(argv.end(), options.begin(), options.end());
  if (!program.start(argv,
                     {"DISPLAY=" + xvfb.display_name(),
                      std::string("LD_PRELOAD=") + SWAP_TIMING_SHIM + (preload.empty() ? "" : ":" + preload),
                      "VELMAR_SWAP_LOG=" + log_path},
                     "/dev/null")) {
    return false;
  }
  return x.connect(xvfb.display_name()) &&
         x.attach_to_window("Velmar Stable Fluids", std::chrono::seconds(10));
}

FrameSample measure_frames(TimedWindow& run, std::chrono::milliseconds warm_up,
                           std::chrono::milliseconds window) {
  const pid_t pid = run.program.pid();
  kill(pid, SIGCONT);
  std::this_thread::sleep_for(warm_up);
  const long long from = now_ns();
  std::this_thread::sleep_for(window);
  const long long to = now_ns();
  kill(pid, SIGSTOP);
  std::vector<Swap> in;
  for (const Swap& s : swaps_logged(run.log_path)) {
    if (s.called >= from && s.called <= to) in.push_back(s);
  }
  FrameSample sample;
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

std::vector<FrameSample> measure_in_turn(std::span<TimedWindow> runs, int repeats) {
  std::vector<std::vector<FrameSample>> samples(runs.size());
  for (int repeat = 0; repeat < repeats; ++repeat) {
    for (std::size_t r = 0; r < runs.size(); ++r) samples[r].push_back(measure_frames(runs[r]));
  }
  std::vector<FrameSample> medians;
  for (const std::vector<FrameSample>& of_run : samples) {
    const auto median_field = [&](double FrameSample::*field) {
      std::vector<double> values;
      for (const FrameSample& sample : of_run) values.push_back(sample.*field);
      return median_of(values);
    };
    medians.push_back({median_field(&FrameSample::fps), median_field(&FrameSample::own_ms),
                       median_field(&FrameSample::finish_ms),
                       median_field(&FrameSample::present_ms)});
  }
  return medians;
}

int cell_pixel_x(int j, int n, int side) {
  const int cell = side / n;
  return j * cell + cell / 2;
}

int cell_pixel_y(int i, int n, int side) {
  const int cell = side / n;
  return side - (i * cell + cell / 2);
}

void spread_density(TimedWindow& run, int n, int side) {
  for (int i = 4; i <= n; i += 8) {
    for (int j = 4; j <= n; j += 8) {
      run.x.click(3, cell_pixel_x(j, n, side), cell_pixel_y(i, n, side));
    }
  }
}

double median_of(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
