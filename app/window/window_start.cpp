#include "window_start.h"

#include <GL/freeglut.h>

#include "callbacks.h"
#include "cell_list.h"
#include "display_check.h"
#include "fluid_state.h"
#include "software_renderer_hint.h"
#include "step_settings.h"

void run_window(std::vector<std::string> glut_arguments) {
  std::vector<char*> argv;
  for (std::string& argument : glut_arguments) argv.push_back(argument.data());
  int argc = static_cast<int>(argv.size());
  glutInit(&argc, argv.data());
  release_display_check();
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(fluid.window_width, fluid.window_height);
  glutCreateWindow("Velmar Stable Fluids");
  hint_at_faster_drawing();
  build_cell_list();
  install_window_reshape();
  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutIdleFunc(idle);
  glutWindowStatusFunc(window_status);
  glutKeyboardFunc(keyboard);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  glutTimerFunc(100, timer, fluid.redraw_rate);
  chooseStartDevice();
  glutMainLoop();
}
