#include "window_start.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "callbacks.h"
#include "cell_list.h"
#include "display_check.h"
#include "fluid_state.h"
#include "simulation_settings.h"
#include "software_renderer_hint.h"
#include "step_settings.h"

namespace {

// A size that -geometry gives decides (glutInit has read it, and asking for another size
// would override it); otherwise 4 pixels a cell, within the screen.
void choose_window_size(const std::string& geometry) {
  int x = 0, y = 0;
  unsigned width = 0, height = 0;
  const int given =
      geometry.empty() ? 0 : XParseGeometry(geometry.c_str(), &x, &y, &width, &height);
  if ((given & WidthValue) != 0 && (given & HeightValue) != 0) {
    // Until the first reshape reports what the window system made of it.
    fluid.window_width = static_cast<int>(width);
    fluid.window_height = static_cast<int>(height);
    return;
  }
  const int side = window_side_for_screen(fluid.N, glutGet(GLUT_SCREEN_WIDTH),
                                          glutGet(GLUT_SCREEN_HEIGHT));
  fluid.window_width = fluid.window_height = side;
  glutInitWindowSize(side, side);
}

}  // namespace

void run_window(std::vector<std::string> glut_arguments, const std::string& geometry) {
  std::vector<char*> argv;
  for (std::string& argument : glut_arguments) argv.push_back(argument.data());
  int argc = static_cast<int>(argv.size());
  glutInit(&argc, argv.data());
  release_display_check();
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  choose_window_size(geometry);
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
