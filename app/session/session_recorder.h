// Writes the session's input events to a recording as they are handled. Each line is flushed
// at once, so a crash loses nothing that came before it.
#pragma once

#include <cstdio>
#include <string>

#include "input_event.h"

// Creates the recording at `path` (an existing file only with `overwrite`) and writes its
// header. On failure prints one line on `err` and returns false; nothing has run yet then.
bool start_recording(const std::string& path, bool overwrite, std::FILE* err = stderr);

// Appends `event` when a recording is open. A failed write ends the session with status 1;
// the lines written before it stay as they were.
void record_event(const InputEvent& event);
