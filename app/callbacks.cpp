#include "callbacks.h"

#include <GL/freeglut.h>

#include "cell_geometry.h"
#include "cell_list.h"
#include "fluid_state.h"
#include "frame_step.h"
#include "input.h"
#include "layered_views.h"

void display() {
  glClear(GL_COLOR_BUFFER_BIT);
  // Time advances only here, so the step rate is the redraw rate.
  frame_step();
  draw_frame_views();
  glutSwapBuffers();
}

void reshape(int width, int height) {
  record_window_size(width, height);
  replace_cell_list();
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // One unit per pixel, origin bottom-left. A collapsed window keeps the identity: an empty
  // orthographic volume is a GL error, and nothing is visible anyway.
  if (width > 0 && height > 0) glOrtho(0, width, 0, height, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glutPostRedisplay();
}

void idle() { glutPostRedisplay(); }

void timer(int value) {
  glutPostRedisplay();
  glutTimerFunc(1000 / fluid.redraw_rate, timer, value);
}

void keyboard(unsigned char key, int, int) {
  apply_key(key);
  glutPostRedisplay();
}

void mouse(int button, int state, int x, int y) {
  mouse_button_event(button, state, x, y);
  glutPostRedisplay();
}

void motion(int x, int y) {
  if (mouse_motion_event(x, y)) glutPostRedisplay();
}
