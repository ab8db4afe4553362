// Where the velocity view's segment from a cell's centre ends. Both drawings take it from here,
// so that they agree to the bit.
#pragma once

struct VelocityTip {
  float across;  // u, to the right
  float up;      // v, up the screen
};

// Ten times the velocity of cell `c` in cells (the cell's size in pixels), rounded to float
// once: the segment's end relative to the cell's centre.
VelocityTip velocity_tip(int c);
