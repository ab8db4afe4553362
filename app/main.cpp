// Velmar Stable Fluids: reads the command line, prepares the session, then either runs
// headless or opens the window.
#include <malloc.h>

#include <optional>
#include <variant>

#include "display_check.h"
#include "field_guard.h"
#include "fluid_state.h"
#include "glut_arguments.h"
#include "headless_run.h"
#include "options.h"
#include "program_messages.h"
#include "session_setup.h"
#include "step_settings.h"
#include "view_drawing.h"
#include "window_start.h"

namespace {

// The layered drawings hand a software renderer one large batch per view, and the renderer
// allocates and frees buffers of the batch's size on every draw. By default glibc serves those
// from fresh mappings or trims the heap after each free, so every frame faults its pages in
// again: about half the frame time of this drawing, measured. Kept in the heap, they are reused
// frame after frame.
void keep_renderer_buffers_in_heap() {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
}

}  // namespace

int main(int argc, char** argv) {
  reset_fields();
  SplitArguments arguments = split_glut_arguments(argc, argv);
  const ParsedCommandLine parsed = parse_command_line(arguments.program);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const ProgramOptions& options = std::get<ProgramOptions>(parsed);
  set_field_guard(options.guard);
  set_view_drawing(options.drawing);
  if (options.drawing != ViewDrawing::Cells) keep_renderer_buffers_in_heap();

  std::optional<StartingSize> headless_size;
  if (options.headless) {
    const HeadlessGlutArguments glut = headless_glut_arguments(arguments);
    if (const std::string* fault = std::get_if<std::string>(&glut)) {
      print_message(stderr, "%s; see --help", fault->c_str());
      return 2;
    }
    headless_size = std::get<std::optional<StartingSize>>(glut);
  }
  // Everything the session reads and writes is checked before the display, so that a wrong
  // path is status 2 with a display or without.
  const std::optional<SessionPlan> plan = prepare_session(options);
  if (!plan) return 2;
  if (!options.headless && !x_display_reachable(arguments.display_name)) {
    abandon_session();
    return 1;
  }
  if (!begin_session(options, *plan)) return 2;
  if (headless_size) {
    fluid.window_width = headless_size->width;
    fluid.window_height = headless_size->height;
  }
  if (options.workers != 0) {
    setStepWorkers(options.workers);
  } else {
    useDefaultStepWorkers(fluid.N);
  }
  if (options.headless) return run_headless(plan->headless_frames);
  run_window(std::move(arguments.glut), arguments.geometry);
  return 0;
}
