// The progress of a long headless run, for a person watching a terminal: frames done of all,
// frames per second and the time left, on one line that rewrites itself and is cleared at the
// end. Nothing when standard error is a file or a pipe, so scripts see the output they always saw.
#pragma once

#include <cstdint>
#include <string>

// Runs of more frames than this show their progress; shorter ones end before anyone waits.
inline constexpr std::int64_t kFramesBeforeProgress = 300;

// The line after `done` of `total` frames in `seconds`; without a rate while none is known.
std::string progress_text(std::int64_t done, std::int64_t total, double seconds);

// Starts the line for a run of `total` frames when it is long enough and standard error is a
// terminal; otherwise the calls below do nothing.
void start_progress(std::int64_t total);
// After each frame; the line changes at most a few times a second.
void report_progress(std::int64_t done);
// Clears the line. Also runs at exit, when a replayed Escape ends the run early.
void end_progress();
