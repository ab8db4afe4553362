// Velmar Stable Fluids: opens the window, installs the callbacks and hands over to GLUT's loop,
// which runs everything else on this one thread.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstring>

#include "callbacks.h"
#include "cell_list.h"
#include "cuda_runtime.h"
#include "fluid_state.h"
#include "layered_views.h"

namespace {

// --draw=cells|layers picks how the views are drawn; any other value is refused before a
// window opens. Other arguments are left to GLUT.
bool select_drawing(int argc, char** argv) {
  constexpr const char* kPrefix = "--draw=";
  for (int k = 1; k < argc; ++k) {
    if (std::strncmp(argv[k], kPrefix, std::strlen(kPrefix)) != 0) continue;
    const char* value = argv[k] + std::strlen(kPrefix);
    if (std::strcmp(value, "cells") == 0) {
      set_view_drawing(ViewDrawing::Cells);
    } else if (std::strcmp(value, "layers") == 0) {
      set_view_drawing(ViewDrawing::Layers);
    } else {
      std::fprintf(stderr, "--draw: expected cells or layers, got '%s'\n", value);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!select_drawing(argc, argv)) return 2;
  reset_fields();
  glutInit(&argc, argv);
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
