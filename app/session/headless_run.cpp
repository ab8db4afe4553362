#include "headless_run.h"

#include "cell_geometry.h"
#include "cell_list.h"
#include "fluid_state.h"
#include "frame_cycle.h"
#include "frame_geometry.h"
#include "headless_progress.h"
#include "input_route.h"
#include "offscreen_context.h"
#include "picture_export.h"
#include "program_messages.h"
#include "view_drawing.h"

namespace {

bool surface_fits = true;  // the off-screen surface has the window's size

void reshape_offscreen(int width, int height) {
  const bool fitted = resize_offscreen_surface(width, height);
  if (!fitted && surface_fits) {
    print_message(stderr, "cannot draw a %d x %d picture off screen; pictures resume at a "
                  "size the renderer can draw", width, height);
  }
  surface_fits = fitted;
  set_up_frame_geometry(width, height);
}

void draw_and_export() {
  draw_frame();
  if (surface_fits) export_picture_if_due(frames_drawn() + 1);
}

}  // namespace

int run_headless(std::int64_t frames) {
  const bool drawing = picture_export_on();
  if (drawing) {
    if (!open_offscreen_context(fluid.window_width, fluid.window_height)) return 1;
    build_cell_list();
    // What the window system's first reshape does for a new window.
    set_up_frame_geometry(fluid.window_width, fluid.window_height);
    set_reshape_handler(reshape_offscreen);
  } else {
    record_window_size(fluid.window_width, fluid.window_height);
  }
  start_progress(frames);
  for (std::int64_t frame = 0; frame < frames; ++frame) {
    run_frame(drawing ? draw_and_export : nullptr);
    report_progress(frame + 1);
  }
  end_progress();
  return 0;
}
