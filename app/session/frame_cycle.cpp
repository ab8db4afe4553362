#include "frame_cycle.h"

#include "frame_step.h"
#include "input_route.h"

void run_frame(FrameDrawing draw_and_show) {
  deliver_replayed_events();
  // Time advances only here, so the step rate is the frame rate.
  frame_step();
  if (draw_and_show != nullptr) draw_and_show();
  count_drawn_frame();
}
