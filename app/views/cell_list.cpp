#include "cell_list.h"

#include <GL/gl.h>

#include "cell_geometry.h"
#include "fluid_state.h"

void build_cell_list() {
  fluid.cell_size = cell_size_for_width(fluid.window_width, fluid.N);
  fluid.cell_list = glGenLists(1);
  glNewList(fluid.cell_list, GL_COMPILE);
  const float half = fluid.cell_size / 2;
  glBegin(GL_QUADS);
  glVertex3f(-half, half, 0.0f);
  glVertex3f(-half, -half, 0.0f);
  glVertex3f(half, -half, 0.0f);
  glVertex3f(half, half, 0.0f);
  glEnd();
  glEndList();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void replace_cell_list() {
  glDeleteLists(fluid.cell_list, 1);
  build_cell_list();
}
