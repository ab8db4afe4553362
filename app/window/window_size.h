// The window as the window system has made it, against the size the frames are drawn for. A
// replay sets the size the fields and the views see, and asks the window system for it; the
// window gets it a moment later, or never (a side of 0, or more than X can make). A frame
// drawn for one size into a window of another is wrong at best, and a software renderer
// drawing into a huge window it did not expect can fault.
#pragma once

// X makes windows of 1 to 32767 pixels a side: the side to ask for, clamped to that range.
int window_side_to_request(int side);

// Asks the window system for `width` x `height`, each side clamped. Until the window has the
// size the frames are drawn for, window_has_frame_size() asks the X server (a round trip).
void request_window_size(int width, int height);

// True when the window has the size recorded in the fluid state, as far as the X server
// knows after every request sent so far.
bool window_has_frame_size();
