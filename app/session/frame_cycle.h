// One frame, the same in the window and headless: the replayed input due before it, the
// frame step, then the drawing when the frame has somewhere to go, and the frame counted.
#pragma once

// Draws the stepped frame and shows or exports it; null when nothing is drawn.
using FrameDrawing = void (*)();

void run_frame(FrameDrawing draw_and_show);
