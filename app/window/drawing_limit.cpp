#include "drawing_limit.h"

#include <GL/gl.h>

#include <cstdint>

#include "program_messages.h"

namespace {
// The largest window, in pixels, measured to draw safely beyond the largest viewport (24000 x
// 24000 under the software renderer; 32767 x 32767 faults in its rasterizer threads).
constexpr std::int64_t kLargestSafePixels = std::int64_t{24000} * 24000;
bool told = false;
bool drawable = true;
}  // namespace

bool window_drawable() { return drawable; }

void limit_drawing_to_renderer(int width, int height, std::FILE* err) {
  GLint largest[2] = {0, 0};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
  const bool beyond_viewport = largest[0] > 0 && largest[1] > 0 &&
                              (width > largest[0] || height > largest[1]);
  if (!beyond_viewport || std::int64_t{width} * height <= kLargestSafePixels) {
    drawable = true;
    return;
  }
  drawable = false;
  if (!told) {
    told = true;
    print_message(err,
                  "the window is %d x %d pixels, more than the renderer can draw (%d x %d); "
                  "nothing is drawn while it is.",
                  width, height, largest[0], largest[1]);
  }
}
