#include "headless_progress.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "program_messages.h"
#include "status_line.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

bool showing = false;
std::int64_t total_frames = 0;
Clock::time_point started;
Clock::time_point last_shown;

std::string time_left(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  char text[48];
  if (whole < 60) {
    std::snprintf(text, sizeof text, "%lld s", whole);
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld min %lld s", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld h %lld min", whole / 3600, whole / 60 % 60);
  }
  return text;
}

void show(std::int64_t done) {
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  show_status_line(stderr, progress_text(done, total_frames, seconds));
}

}  // namespace

std::string progress_text(std::int64_t done, std::int64_t total, double seconds) {
  char text[160];
  int length = std::snprintf(text, sizeof text, "%s: frame %lld of %lld", kProgramName.data(),
                             static_cast<long long>(done), static_cast<long long>(total));
  if (done > 0 && seconds > 0) {
    const double rate = static_cast<double>(done) / seconds;
    std::snprintf(text + length, sizeof text - length, ", %.*f frames/s, %s left",
                  rate < 10 ? 1 : 0, rate,
                  time_left(static_cast<double>(total - done) / rate).c_str());
  }
  return text;
}

void start_progress(std::int64_t total) {
  if (total <= kFramesBeforeProgress || !::isatty(STDERR_FILENO)) return;
  static const bool cleared_at_exit = std::atexit(end_progress) == 0;
  (void)cleared_at_exit;
  showing = true;
  total_frames = total;
  started = last_shown = Clock::now();
  show(0);
}

void report_progress(std::int64_t done) {
  if (!showing) return;
  const Clock::time_point now = Clock::now();
  if (now - last_shown < kRedrawInterval) return;
  last_shown = now;
  show(done);
}

void end_progress() {
  if (!showing) return;
  showing = false;
  clear_status_line();
}
