// One input event as the handlers receive it, stamped with the number of frames drawn before
// it was handled: what a recording holds, line by line.
#pragma once

#include <cstdint>

enum class InputKind { Key, Mouse, Motion, Reshape };

struct InputEvent {
  std::int64_t frame = 0;
  InputKind kind = InputKind::Key;
  int key = 0;      // Key: the character code, 0..255
  int button = 0;   // Mouse: 0 left, 1 middle, 2 right, higher for wheel and extra buttons
  int state = 0;    // Mouse: 0 down, 1 up
  int x = 0;        // Key, Mouse, Motion: window pixels, y from the top
  int y = 0;
  int width = 0;    // Reshape
  int height = 0;

  bool operator==(const InputEvent&) const = default;
};

inline constexpr unsigned char kEscapeKey = 27;
