#include "view_drawing.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "cell_views.h"
#include "fluid_state.h"
#include "image_layer.h"
#include "layered_views.h"
#include "program_messages.h"

namespace {

ViewDrawing selected_drawing = ViewDrawing::Cells;
bool told_too_small = false;

// Mesa's software renderers; the classic swrast driver calls itself "Software Rasterizer".
constexpr std::string_view kSoftwareRenderers[] = {"llvmpipe", "softpipe", "swrast",
                                                   "software rasterizer"};

}  // namespace

void set_view_drawing(ViewDrawing drawing) { selected_drawing = drawing; }

ViewDrawing view_drawing() { return selected_drawing; }

bool cells_have_pixels() {
  if (fluid.cell_size > 0.0f) return true;
  if (!told_too_small) {
    told_too_small = true;
    print_message(stderr, "the window is %d x %d pixels, narrower than one pixel a cell (%d "
                  "cells a side); nothing is drawn while it is.",
                  fluid.window_width, fluid.window_height, fluid.N);
  }
  return false;
}

void draw_frame() {
  glClear(GL_COLOR_BUFFER_BIT);
  // Narrower than one pixel a cell: the cells would all shrink to the corner, so none is drawn.
  if (!cells_have_pixels()) return;
  switch (selected_drawing) {
    case ViewDrawing::Cells:
      draw_views();
      return;
    case ViewDrawing::Layers:
      draw_layered_views(field_image_available() ? FieldLayers::Image : FieldLayers::VertexArrays);
      return;
    case ViewDrawing::Smooth:
      draw_layered_views(field_image_available() ? FieldLayers::SmoothImage
                                                 : FieldLayers::VertexArrays);
      return;
  }
}

bool layers_would_draw_faster(std::string_view gl_renderer, ViewDrawing drawing) {
  if (drawing != ViewDrawing::Cells) return false;
  std::string lower(gl_renderer);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::any_of(std::begin(kSoftwareRenderers), std::end(kSoftwareRenderers),
                     [&](std::string_view name) { return lower.find(name) != std::string::npos; });
}
