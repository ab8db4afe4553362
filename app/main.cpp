// Velmar Stable Fluids: opens the window, installs the callbacks and hands over to GLUT's loop,
// which runs everything else on this one thread.
#include <GL/freeglut.h>

#include "callbacks.h"
#include "cell_list.h"
#include "cuda_runtime.h"
#include "fluid_state.h"

int main(int argc, char** argv) {
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
