#include "frame_render.h"

#include <GL/gl.h>

#include "cell_geometry.h"
#include "cell_list.h"
#include "frame_step.h"
#include "layered_views.h"

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

void render_frame() {
  glClear(GL_COLOR_BUFFER_BIT);
  // Time advances only here, so the step rate is the redraw rate.
  frame_step();
  draw_frame_views();
}
