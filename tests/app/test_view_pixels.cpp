// The drawings against each other in an off-screen GL context (Mesa's surfaceless EGL): the
// layered image must light every pixel the cell-by-cell drawing lights, in the same colour,
// whatever the window and grid size; the smooth image blends between cell centres.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "field_image.h"
#include "fluid_state.h"
#include "frame_geometry.h"
#include "image_layer.h"
#include "layered_views.h"
#include "offscreen_context.h"
#include "view_drawing.h"

// Mesa's driver keeps allocations until exit that LeakSanitizer would report; this binary
// checks pixels, not the driver's memory.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  std::uint32_t at(int x, int y) const {  // y from the bottom, as GL counts
    const std::size_t k = (static_cast<std::size_t>(y) * width + x) * 3;
    return rgb[k] << 16 | rgb[k + 1] << 8 | rgb[k + 2];
  }
};

Picture read_picture() {
  Picture p{fluid.window_width, fluid.window_height, {}};
  p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, p.width, p.height, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
  return p;
}

Picture drawn_with(ViewDrawing drawing) {
  set_view_drawing(drawing);
  draw_frame();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  return read_picture();
}

Picture drawn_in_layers(FieldLayers fields) {
  glClear(GL_COLOR_BUFFER_BIT);
  draw_layered_views(fields);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  return read_picture();
}

// The count of differing pixels and the first one, for the failure message.
std::string difference(const Picture& a, const Picture& b) {
  int count = 0, first = -1;
  for (std::size_t k = 0; k < a.rgb.size(); k += 3) {
    if (a.rgb[k] == b.rgb[k] && a.rgb[k + 1] == b.rgb[k + 1] && a.rgb[k + 2] == b.rgb[k + 2]) {
      continue;
    }
    if (count++ == 0) first = static_cast<int>(k / 3);
  }
  if (count == 0) return "none";
  char text[128];
  std::snprintf(text, sizeof text, "%d pixels, first at (%d, %d): %06X against %06X", count,
                first % a.width, first / a.width, a.at(first % a.width, first / a.width),
                b.at(first % a.width, first / a.width));
  return text;
}

// Densities where a colour byte could round either way: each step's midpoint (k + 0.5) / 255
// and the floats two either side, the thresholds and their neighbours, saturating and undrawn
// values; then a spread of ordinary ones.
std::vector<float> densities_to_draw() {
  std::vector<float> d;
  for (int k = 0; k < 255; ++k) {
    float f = static_cast<float>((k + 0.5) / 255.0);
    for (int step = 0; step < 2; ++step) f = std::nextafter(f, 0.0f);
    for (int step = 0; step < 5; ++step, f = std::nextafter(f, 1.0f)) d.push_back(f);
  }
  for (float f : {0.33f, 0.66f, std::nextafter(0.33f, 0.0f), std::nextafter(0.66f, 0.0f), 1.0f,
                  std::nextafter(1.0f, 2.0f), 2.5f, std::numeric_limits<float>::infinity(),
                  1e-30f, 0.0f, -0.0f, -1.0f, std::nanf("")}) {
    d.push_back(f);
  }
  std::uint32_t seed = 12345;
  for (int k = 0; k < 1000; ++k) {
    seed = seed * 1664525u + 1013904223u;
    d.push_back(static_cast<float>(seed >> 8) / (1 << 24) * 1.2f);
  }
  return d;
}

// Every interior cell a density from the list in turn, every fifth an obstacle (some of them
// under density), a velocity everywhere for the segments.
void fill_fields(int n) {
  set_grid(fluid, n);
  const std::vector<float> densities = densities_to_draw();
  int k = 0;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j, ++k) {
      const int c = IX(i, j);
      fluid.dens[c] = densities[k % densities.size()];
      fluid.boundary[c] = k % 5 == 0 ? 1 : 0;
      fluid.u[c] = 0.01f * static_cast<float>(k % 7 - 3);
      fluid.v[c] = 0.01f * static_cast<float>(k % 5 - 2);
    }
  }
}

void set_views(bool obstacles, bool density, bool velocity, bool grid) {
  fluid.show_obstacles = obstacles;
  fluid.show_density = density;
  fluid.show_velocity = velocity;
  fluid.show_grid = grid;
}

class ViewPixels : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { context_open = open_offscreen_context(512, 512); }
  void SetUp() override {
    if (!context_open) GTEST_SKIP() << "no off-screen OpenGL here";
    fluid = FluidState{};
    ASSERT_TRUE(field_image_available()) << "the renderer offers no image of the grid";
  }
  static void frame_size(int width, int height) {
    ASSERT_TRUE(resize_offscreen_surface(width, height));
    set_up_frame_geometry(width, height);
  }
  static inline bool context_open = false;
};

TEST_F(ViewPixels, LayeredImageDrawsTheObstacleAndDensityPixelsOfTheCellByCellDrawing) {
  const struct {
    int n, width, height;
  } cases[] = {
      {126, 512, 512},   {126, 1000, 300}, {126, 333, 777}, {126, 129, 130},
      {126, 4000, 200},  // wider than any screen: cells of 31 pixels, most rows off the top
      {62, 256, 256},    {62, 1000, 300},  {254, 1024, 1024},
      {1022, 1024, 1024},  // one pixel a cell
  };
  for (const auto& [n, width, height] : cases) {
    SCOPED_TRACE(std::to_string(n) + " cells, " + std::to_string(width) + "x" +
                 std::to_string(height));
    fill_fields(n);
    frame_size(width, height);
    // Each view alone once; both together, which lights every colour either gives, everywhere.
    const bool first = n == cases[0].n && width == cases[0].width && height == cases[0].height;
    for (const auto& [obstacles, density] : {std::pair{true, true}, std::pair{true, false},
                                            std::pair{false, true}}) {
      if (!first && !(obstacles && density)) continue;
      set_views(obstacles, density, false, false);
      const Picture cells = drawn_with(ViewDrawing::Cells);
      const Picture image = drawn_with(ViewDrawing::Layers);
      EXPECT_EQ(difference(cells, image), "none") << obstacles << density;
    }
    // Segments and outlines over the image land where they land over the vertex arrays.
    set_views(true, true, true, true);
    EXPECT_EQ(difference(drawn_in_layers(FieldLayers::VertexArrays),
                         drawn_in_layers(FieldLayers::Image)),
              "none");
  }
}

TEST_F(ViewPixels, SmoothImageKeepsCellColoursAtCentresAndBlendsBetweenCells) {
  fill_fields(126);
  for (float& d : fluid.dens) d = 0.0f;
  for (int& b : fluid.boundary) b = 0;
  // A red patch of 3 x 3 cells around (64, 40), bright green to its right.
  for (int i = 63; i <= 65; ++i) {
    for (int j = 39; j <= 41; ++j) fluid.dens[IX(i, j)] = 1.0f;
    for (int j = 42; j <= 44; ++j) fluid.dens[IX(i, j)] = 0.4f;
  }
  set_views(true, true, false, false);
  frame_size(512, 512);  // 4 pixels a cell: the centre of cell k lies at 4k + 2
  const Picture smooth = drawn_with(ViewDrawing::Smooth);
  const int y = 4 * 64 + 2;
  // The pixel whose centre lies half a pixel off the cell's centre still sees only the patch.
  EXPECT_EQ(smooth.at(4 * 40 + 2, y), 0xFF0000u);
  EXPECT_EQ(smooth.at(4 * 43 + 2, y), 0x006600u);
  // Between the last red and the first green column, both and neither alone.
  const std::uint32_t between = smooth.at(4 * 42, y);
  EXPECT_GT(between >> 16, 0u);
  EXPECT_LT(between >> 16, 0xFFu);
  EXPECT_GT(between >> 8 & 0xFF, 0u);
  EXPECT_LT(between >> 8 & 0xFF, 0x66u);
  // Not the square cells of the layers.
  EXPECT_NE(difference(smooth, drawn_with(ViewDrawing::Layers)), "none");
}

}  // namespace
