// How far a frame count may go, wherever one is read: the command line and recordings.
#pragma once

#include <cstdint>

// Far beyond any session (a year at 30 frames a second is 10^9), and safe to add to.
inline constexpr std::int64_t kMostFrames = 999'999'999'999;
