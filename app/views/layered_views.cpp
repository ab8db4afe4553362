#include "layered_views.h"

#include <GL/gl.h>

#include <cstddef>
#include <vector>

#include "cell_geometry.h"
#include "density_colour.h"
#include "fluid_state.h"
#include "image_layer.h"
#include "velocity_tip.h"

namespace {

struct Point {
  GLfloat x;
  GLfloat y;
};

struct Rgb {
  GLfloat red;
  GLfloat green;
  GLfloat blue;
};

struct RgbBytes {
  GLubyte red;
  GLubyte green;
  GLubyte blue;
};

constexpr int kQuadCorners = 4;

// Everything sized by N, laid out by cell_size, or filled per frame. Vectors only grow or shrink
// when N or cell_size changes; a frame overwrites them in place.
struct Layers {
  int n = -1;
  float cell_size = -1.0f;
  std::vector<Point> centres;       // one per cell, in drawing order
  std::vector<Point> quads;         // four corners per cell, in drawing order
  std::vector<RgbBytes> obstacle_colours;
  std::vector<Point> density_quads;  // only the drawn cells, packed at the front
  std::vector<Rgb> density_colours;
  std::vector<Point> segments;       // centre and tip per cell
};

Layers layers;

// Cell k of the drawing order: rows from N down to 1, columns from 1 up to N.
int cell_of(int k, int n) { return IX(n - k / n, 1 + k % n); }

void rebuild_layout() {
  const int n = fluid.N;
  const std::size_t cells = n > 0 ? static_cast<std::size_t>(n) * n : 0;
  const float s = fluid.cell_size;
  layers.centres.resize(cells);
  layers.quads.resize(cells * kQuadCorners);
  layers.obstacle_colours.resize(cells * kQuadCorners);
  layers.density_quads.resize(cells * kQuadCorners);
  layers.density_colours.resize(cells * kQuadCorners);
  layers.segments.resize(cells * 2);
  // The cell list's corners, in its order, added to the centre as the GL adds the translation:
  // in float. With integral cell sizes every corner is an exact integer either way.
  const float half = s / 2;
  const Point corners[kQuadCorners] = {{-half, half}, {-half, -half}, {half, -half}, {half, half}};
  for (std::size_t k = 0; k < cells; ++k) {
    const int row = n - static_cast<int>(k) / n;
    const int column = 1 + static_cast<int>(k) % n;
    const Point centre{cell_centre(column, s), cell_centre(row, s)};
    layers.centres[k] = centre;
    for (int corner = 0; corner < kQuadCorners; ++corner) {
      layers.quads[k * kQuadCorners + corner] = {centre.x + corners[corner].x,
                                                 centre.y + corners[corner].y};
    }
  }
  layers.n = n;
  layers.cell_size = s;
}

void draw_obstacle_layer(std::size_t cells) {
  for (std::size_t k = 0; k < cells; ++k) {
    const bool obstacle = fluid.boundary[cell_of(static_cast<int>(k), layers.n)] == 1;
    const RgbBytes colour{0, 0, static_cast<GLubyte>(obstacle ? 255 : 0)};
    for (int corner = 0; corner < kQuadCorners; ++corner) {
      layers.obstacle_colours[k * kQuadCorners + corner] = colour;
    }
  }
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, layers.quads.data());
  glColorPointer(3, GL_UNSIGNED_BYTE, 0, layers.obstacle_colours.data());
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(cells * kQuadCorners));
  glDisableClientState(GL_COLOR_ARRAY);
}

void draw_density_layer(std::size_t cells) {
  std::size_t drawn = 0;
  for (std::size_t k = 0; k < cells; ++k) {
    const auto colour = density_colour(fluid.dens[cell_of(static_cast<int>(k), layers.n)]);
    if (!colour) continue;
    const Rgb rgb{colour->red, colour->green, colour->blue};
    for (int corner = 0; corner < kQuadCorners; ++corner) {
      layers.density_quads[drawn + corner] = layers.quads[k * kQuadCorners + corner];
      layers.density_colours[drawn + corner] = rgb;
    }
    drawn += kQuadCorners;
  }
  if (drawn == 0) return;
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, layers.density_quads.data());
  glColorPointer(3, GL_FLOAT, 0, layers.density_colours.data());
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(drawn));
  glDisableClientState(GL_COLOR_ARRAY);
}

void draw_velocity_layer(std::size_t cells) {
  for (std::size_t k = 0; k < cells; ++k) {
    const int c = cell_of(static_cast<int>(k), layers.n);
    // The tip is one float add away from the centre instead of a translation the GL applies.
    const VelocityTip tip = velocity_tip(c);
    const Point centre = layers.centres[k];
    layers.segments[2 * k] = centre;
    layers.segments[2 * k + 1] = {centre.x + tip.across, centre.y + tip.up};
  }
  glColor3ub(255, 0, 0);
  glVertexPointer(2, GL_FLOAT, 0, layers.segments.data());
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(cells * 2));
}

void draw_grid_layer(std::size_t cells) {
  glColor3ub(0, 255, 0);
  glPolygonMode(GL_FRONT, GL_LINE);
  glVertexPointer(2, GL_FLOAT, 0, layers.quads.data());
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(cells * kQuadCorners));
}

}  // namespace

void draw_layered_views(FieldLayers fields) {
  if (layers.n != fluid.N || layers.cell_size != fluid.cell_size) rebuild_layout();
  const std::size_t cells = layers.centres.size();
  if (cells == 0) return;
  const bool arrays = fields == FieldLayers::VertexArrays;
  if (!arrays && (fluid.show_obstacles || fluid.show_density)) {
    draw_field_image(fields == FieldLayers::SmoothImage ? ImageFilter::Linear
                                                        : ImageFilter::Nearest);
  }
  // Flat shading: an interpolated constant colour can come out one step darker than the same
  // colour on the display list's quad. The polygon mode is set for the outlines; the current
  // colour is left undefined by drawing with a colour array.
  glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glShadeModel(GL_FLAT);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (arrays && fluid.show_obstacles) draw_obstacle_layer(cells);
  if (arrays && fluid.show_density) draw_density_layer(cells);
  if (fluid.show_velocity) draw_velocity_layer(cells);
  if (fluid.show_grid) draw_grid_layer(cells);
  glPopClientAttrib();
  glPopAttrib();
}
