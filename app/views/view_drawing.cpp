#include "view_drawing.h"

#include <GL/gl.h>

#include "cell_views.h"
#include "layered_views.h"

namespace {
ViewDrawing selected_drawing = ViewDrawing::Cells;
}  // namespace

void set_view_drawing(ViewDrawing drawing) { selected_drawing = drawing; }

ViewDrawing view_drawing() { return selected_drawing; }

void draw_frame() {
  glClear(GL_COLOR_BUFFER_BIT);
  if (selected_drawing == ViewDrawing::Layers) {
    draw_layered_views();
  } else {
    draw_views();
  }
}
