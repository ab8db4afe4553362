// Velmar Stable Fluids: reads the command line, opens the window, installs the callbacks and
// hands over to GLUT's loop, which runs everything else on this one thread.
#include <GL/freeglut.h>

#include <variant>

#include "callbacks.h"
#include "cell_list.h"
#include "cuda_runtime.h"
#include "display_check.h"
#include "field_guard.h"
#include "fluid_state.h"
#include "glut_arguments.h"
#include "options.h"

int main(int argc, char** argv) {
  reset_fields();
  const SplitArguments arguments = split_glut_arguments(argc, argv);
  const ParsedCommandLine parsed = parse_command_line(arguments.program);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const ProgramOptions& options = std::get<ProgramOptions>(parsed);
  set_field_guard(options.guard);

  if (!x_display_reachable(arguments.display_name)) return 1;
  std::vector<char*> glut_argv;
  for (const std::string& argument : arguments.glut) glut_argv.push_back(const_cast<char*>(argument.c_str()));
  int glut_argc = static_cast<int>(glut_argv.size());
  glutInit(&glut_argc, glut_argv.data());
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(fluid.window_width, fluid.window_height);
  glutCreateWindow("Velmar Stable Fluids");
  build_cell_list();
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
  return 0;
}
