#include <cmath>

#include "cell_geometry.h"
#include "density_colour.h"
#include "field_image.h"
#include "fresh_fluid.h"

namespace {

using CellGeometry = FreshFluid;

TEST_F(CellGeometry, CellSizeIsTheWindowWidthOverNInWholePixels) {
  const struct {
    int width, height;
    float cell_size;
  } cases[] = {
      {512, 512, 4.0f}, {500, 500, 3.0f}, {1000, 300, 7.0f}, {100, 900, 0.0f}, {0, 0, 0.0f}};
  for (const auto& c : cases) {
    record_window_size(c.width, c.height);
    EXPECT_EQ(fluid.cell_size, c.cell_size) << c.width << "x" << c.height;
    EXPECT_EQ(fluid.window_width, c.width);
    EXPECT_EQ(fluid.window_height, c.height);
  }
}

void expect_colour(float density, float red, float green, float blue) {
  const auto colour = density_colour(density);
  ASSERT_TRUE(colour.has_value()) << density;
  EXPECT_EQ(colour->red, red) << density;
  EXPECT_EQ(colour->green, green) << density;
  EXPECT_EQ(colour->blue, blue) << density;
}

TEST(DensityColour, ThresholdsAreDoublesAndTheDensityIsTheIntensity) {
  expect_colour(1e-30f, 0, 0, 1e-30f);
  expect_colour(0.32999998f, 0, 0, 0.32999998f);
  expect_colour(0.33f, 0, 0.33f, 0);  // 0.330000013 is not below the double 0.33
  expect_colour(0.65999997f, 0, 0.65999997f, 0);
  expect_colour(0.66f, 0.66f, 0, 0);
  expect_colour(2.5f, 2.5f, 0, 0);  // GL saturates it to pure red
}

TEST(DensityColour, ZeroNegativeAndNaNDrawNothing) {
  EXPECT_FALSE(density_colour(0.0f));
  EXPECT_FALSE(density_colour(-0.0f));
  EXPECT_FALSE(density_colour(-1.0f));
  EXPECT_FALSE(density_colour(std::nanf("")));
}

TEST(FieldImage, TextureKindFollowsTheVersionAndWholeExtensionNames) {
  const struct {
    const char* version;
    const char* extensions;
    ImageTexture kind;
  } cases[] = {
      {"4.5 (Compatibility Profile) Mesa 22.3.6", "", ImageTexture::AnySize2D},
      {"2.1 Mesa", "", ImageTexture::AnySize2D},
      {"1.4", "GL_EXT_bgra GL_ARB_texture_non_power_of_two", ImageTexture::AnySize2D},
      {"1.4", "GL_ARB_texture_rectangle GL_EXT_bgra", ImageTexture::Rectangle},
      {"1.1", "GL_NV_texture_rectangle", ImageTexture::Rectangle},
      {"1.1", "GL_EXT_texture_rectangle", ImageTexture::Rectangle},
      {"1.1", "GL_ARB_texture_rectangle_extra GL_XARB_texture_non_power_of_two",
       ImageTexture::None},
      {"12", "", ImageTexture::None},  // no minor version: not a version string
      {"", "", ImageTexture::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(image_texture_for(c.version, c.extensions), c.kind) << c.version << " / "
                                                                  << c.extensions;
  }
}

}  // namespace
