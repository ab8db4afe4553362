// Prepares what the command line asks of a session before anything runs: the replay is read
// and checked whole, the grid and physics are settled and the fields made, the picture folder
// and the recording are made ready, the checksum is set to print at exit. Any fault is one
// line on standard error and nothing runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "options.h"

struct SessionPlan {
  std::int64_t headless_frames = 0;  // --frames, or what the replay needs
  // The settings line of a recording: settings other than the defaults travel with it.
  std::optional<SimulationSettings> recorded_settings;
};

// Everything but the recording and the checksum, the --record path checked but not made, so
// that this comes before the check for a display. Nothing on failure, after the one line on
// `err`; the program then exits with status 2.
std::optional<SessionPlan> prepare_session(const ProgramOptions& options,
                                           std::FILE* err = stderr);

// Last before the session runs: makes the recording and sets the checksum to print at exit.
// False after one line on `err`; status 2 then, and nothing has run.
bool begin_session(const ProgramOptions& options, const SessionPlan& plan,
                   std::FILE* err = stderr);

// For a prepared session that will not begin (no display): takes back what preparing made,
// the picture folder while it is empty.
void abandon_session();
