#include "cell_views.h"

#include <GL/gl.h>

#include "cell_geometry.h"
#include "density_colour.h"
#include "fluid_state.h"
#include "velocity_tip.h"

namespace {

void draw_cell_at(float x, float y) {
  glPushMatrix();
  glTranslatef(x, y, 0.0f);
  glCallList(fluid.cell_list);
  glPopMatrix();
}

void draw_obstacle(int c, float x, float y) {
  if (fluid.boundary[c] == 1) {
    glColor3ub(0, 0, 255);
  } else {
    glColor3ub(0, 0, 0);
  }
  draw_cell_at(x, y);
}

void draw_density(int c, float x, float y) {
  const auto colour = density_colour(fluid.dens[c]);
  if (!colour) return;
  glColor3f(colour->red, colour->green, colour->blue);
  draw_cell_at(x, y);
}

// A red segment from the centre to the velocity tip.
void draw_velocity(int c, float x, float y) {
  glColor3ub(255, 0, 0);
  glPushMatrix();
  const VelocityTip tip = velocity_tip(c);
  glTranslatef(x, y, 0.0f);
  glBegin(GL_LINES);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(tip.across, tip.up, 0.0f);
  glEnd();
  glPopMatrix();
}

void draw_outline(float x, float y) {
  glColor3ub(0, 255, 0);
  glPushMatrix();
  glPushAttrib(GL_POLYGON_BIT);
  glPolygonMode(GL_FRONT, GL_LINE);
  glTranslatef(x, y, 0.0f);
  glCallList(fluid.cell_list);
  glPopAttrib();
  glPopMatrix();
}

}  // namespace

void draw_views() {
  for (int i = fluid.N; i >= 1; --i) {
    const float y = cell_centre(i, fluid.cell_size);
    for (int j = 1; j <= fluid.N; ++j) {
      const int c = IX(i, j);
      const float x = cell_centre(j, fluid.cell_size);
      if (fluid.show_obstacles) draw_obstacle(c, x, y);
      if (fluid.show_density) draw_density(c, x, y);
      if (fluid.show_velocity) draw_velocity(c, x, y);
      if (fluid.show_grid) draw_outline(x, y);
    }
  }
}
