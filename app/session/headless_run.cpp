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

// A size beyond the picture limit gets no surface: nothing is drawn while the window has it
// (drawing into a surface of such a size is what a software renderer cannot do safely), and
// the frames go on undrawn until a reshape brings it back within the limit.
void reshape_offscreen(int width, int height) {
  const bool was_fitting = surface_fits;
  // A collapsed window draws nothing, into the smallest surface there is.
  const bool allowed = width <= 0 || height <= 0 || picture_size_allowed(width, height);
  surface_fits = allowed && resize_offscreen_surface(width, height);
  if (allowed && !surface_fits && was_fitting) {
    print_message(stderr, "cannot draw a %d x %d picture off screen; pictures resume at a "
                  "size the renderer can draw", width, height);
  }
  set_up_frame_geometry(width, height);
}

void draw_and_export() {
  if (!surface_fits) return;
  draw_frame();
  export_picture_if_due(frames_drawn() + 1);
}

}  // namespace

int run_headless(std::int64_t frames) {
  const bool drawing = picture_export_on();
  if (drawing) {
    // The smallest surface first: the starting size may be beyond the picture limit.
    if (!open_offscreen_context(1, 1)) return 1;
    build_cell_list();
    // What the window system's first reshape does for a new window.
    reshape_offscreen(fluid.window_width, fluid.window_height);
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
