// Velmar Stable Fluids: reads the command line, then either runs headless or opens the
// window, installs the callbacks and hands over to GLUT's loop, which runs everything else on
// this one thread.
#include <GL/freeglut.h>

#include <variant>

#include "callbacks.h"
#include "cell_list.h"
#include "cuda_runtime.h"
#include "display_check.h"
#include "field_guard.h"
#include "fluid_state.h"
#include "glut_arguments.h"
#include "headless_run.h"
#include "layered_views.h"
#include "options.h"
#include "parallel_launch.h"
#include "session_setup.h"

namespace {

void run_window(std::vector<std::string> glut_arguments) {
  std::vector<char*> argv;
  for (std::string& argument : glut_arguments) argv.push_back(argument.data());
  int argc = static_cast<int>(argv.size());
  glutInit(&argc, argv.data());
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(fluid.window_width, fluid.window_height);
  glutCreateWindow("Velmar Stable Fluids");
  build_cell_list();
  install_window_reshape();
  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutIdleFunc(idle);
  glutKeyboardFunc(keyboard);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  glutTimerFunc(100, timer, fluid.redraw_rate);
  // Device 2 does not exist on every machine; the step runs on the current device regardless.
  (void)cudaSetDevice(2);
  glutMainLoop();
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
  if (options.workers != 0) runtime_parallel::setWorkers(options.workers);

  if (!options.headless && !x_display_reachable(arguments.display_name)) return 1;
  const std::optional<SessionPlan> plan = prepare_session(options);
  if (!plan) return 2;
  if (options.headless) return run_headless(plan->headless_frames);
  run_window(std::move(arguments.glut));
  return 0;
}
