// A session without a window and without an X server: the frame step runs frame after frame,
// input comes from the replay, and pictures, if asked for, are drawn off screen by the same
// view code as in the window.
#pragma once

#include <cstdint>

// Runs `frames` frames; returns the exit status. A replayed Escape ends the process earlier,
// as it did in the recorded session.
int run_headless(std::int64_t frames);
