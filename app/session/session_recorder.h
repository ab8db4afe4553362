// Writes the session's input events to a recording as they are handled. Each line is flushed
// at once, so a crash loses nothing that came before it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "input_event.h"
#include "simulation_settings.h"

// Whether a recording could be made at `path`, without making it: an existing file only with
// `overwrite`, else a folder that exists and is writable. On failure prints one line on `err`
// and returns false. start_recording checks again, by making it.
bool recording_path_usable(const std::string& path, bool overwrite, std::FILE* err = stderr);

// Creates the recording at `path` (an existing file only with `overwrite`) and writes its
// header, and the settings line when `settings` is given. On failure prints one line on `err`
// and returns false; nothing has run yet then.
bool start_recording(const std::string& path, bool overwrite,
                     const std::optional<SimulationSettings>& settings,
                     std::FILE* err = stderr);

// Appends `event` when a recording is open. A failed write ends the session with status 1;
// the lines written before it stay as they were.
void record_event(const InputEvent& event);
