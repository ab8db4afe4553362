#include "field_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "density_colour.h"
#include "fluid_state.h"

namespace {

// Whether the space-separated `list` holds `name` as a whole entry.
bool lists(std::string_view list, std::string_view name) {
  for (std::size_t at = list.find(name); at != std::string_view::npos;
       at = list.find(name, at + 1)) {
    const bool starts = at == 0 || list[at - 1] == ' ';
    const std::size_t end = at + name.size();
    if (starts && (end == list.size() || list[end] == ' ')) return true;
  }
  return false;
}

// The leading "major.minor" of a GL_VERSION string; 0 where it has none.
int major_version(std::string_view version) {
  int major = 0;
  std::size_t k = 0;
  for (; k < version.size() && version[k] >= '0' && version[k] <= '9'; ++k) {
    major = std::min(major * 10 + (version[k] - '0'), 1000);
  }
  return k > 0 && k < version.size() && version[k] == '.' ? major : 0;
}

}  // namespace

std::uint8_t colour_byte(float component) {
  // NaN never reaches here: the density view draws no NaN cell.
  const float clamped = std::clamp(component, 0.0f, 1.0f);
  return static_cast<std::uint8_t>(std::lrint(clamped * 255.0f));
}

void fill_field_image(std::vector<std::uint8_t>& texels) {
  const int n = fluid.N;
  texels.resize(n > 0 ? static_cast<std::size_t>(n) * n * 3 : 0);
  std::size_t at = 0;
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) {
      const int c = IX(i, j);
      std::uint8_t rgb[3] = {0, 0, 0};
      if (fluid.show_obstacles && fluid.boundary[c] == 1) rgb[2] = 255;
      if (fluid.show_density) {
        if (const auto colour = density_colour(fluid.dens[c])) {
          rgb[0] = colour_byte(colour->red);
          rgb[1] = colour_byte(colour->green);
          rgb[2] = colour_byte(colour->blue);
        }
      }
      texels[at++] = rgb[0];
      texels[at++] = rgb[1];
      texels[at++] = rgb[2];
    }
  }
}

ImageTexture image_texture_for(std::string_view gl_version, std::string_view gl_extensions) {
  if (major_version(gl_version) >= 2 || lists(gl_extensions, "GL_ARB_texture_non_power_of_two")) {
    return ImageTexture::AnySize2D;
  }
  for (std::string_view name : {"GL_ARB_texture_rectangle", "GL_EXT_texture_rectangle",
                                "GL_NV_texture_rectangle"}) {
    if (lists(gl_extensions, name)) return ImageTexture::Rectangle;
  }
  return ImageTexture::None;
}
