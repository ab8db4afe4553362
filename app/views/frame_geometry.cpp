#include "frame_geometry.h"

#include <GL/gl.h>

#include "cell_geometry.h"
#include "cell_list.h"

void set_up_frame_geometry(int width, int height) {
  record_window_size(width, height);
  replace_cell_list();
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A collapsed window keeps the identity: an empty orthographic volume is a GL error, and
  // nothing is visible anyway.
  if (width > 0 && height > 0) glOrtho(0, width, 0, height, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
