#include "image_layer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <vector>

#include "field_image.h"
#include "fluid_state.h"
#include "program_messages.h"

namespace {

struct ImageState {
  int checked_n = -1;  // the grid size support was last asked for
  bool available = false;
  ImageTexture kind = ImageTexture::None;
  GLenum target = GL_TEXTURE_2D;
  GLuint texture = 0;
  int texture_n = -1;  // the grid size the texture was made for
  std::vector<std::uint8_t> texels;  // kept between frames: no allocation once sized
};

ImageState image;

const char* gl_string(GLenum name) {
  const auto* text = reinterpret_cast<const char*>(glGetString(name));
  return text != nullptr ? text : "";
}

bool check_support(int n) {
  image.kind = image_texture_for(gl_string(GL_VERSION), gl_string(GL_EXTENSIONS));
  if (image.kind == ImageTexture::None) {
    print_message(stderr, "the OpenGL renderer, %s, has no textures of %d x %d texels (neither "
                  "non-power-of-two textures nor texture rectangles): the layers draw the "
                  "obstacle and density views as vertex arrays instead",
                  gl_string(GL_RENDERER), n, n);
    return false;
  }
  image.target = image.kind == ImageTexture::Rectangle ? GL_TEXTURE_RECTANGLE_ARB : GL_TEXTURE_2D;
  GLint largest = 0;
  glGetIntegerv(image.kind == ImageTexture::Rectangle ? GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB
                                                      : GL_MAX_TEXTURE_SIZE,
                &largest);
  if (largest < n) {
    print_message(stderr, "the OpenGL renderer, %s, has textures of at most %d x %d texels, "
                  "fewer than the grid's %d x %d cells: the layers draw the obstacle and "
                  "density views as vertex arrays instead",
                  gl_string(GL_RENDERER), largest, largest, n, n);
    return false;
  }
  return true;
}

// A texture of the grid's size; the old one goes when N has changed.
void make_texture(int n) {
  if (image.texture != 0) glDeleteTextures(1, &image.texture);
  glGenTextures(1, &image.texture);
  glBindTexture(image.target, image.texture);
  glTexParameteri(image.target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(image.target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(image.target, 0, GL_RGB8, n, n, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  image.texture_n = n;
}

}  // namespace

bool field_image_available() {
  if (image.checked_n != fluid.N) {
    image.checked_n = fluid.N;
    image.available = fluid.N > 0 && check_support(fluid.N);
  }
  return image.available;
}

void draw_field_image(ImageFilter filter) {
  const int n = fluid.N;
  if (n <= 0 || !field_image_available()) return;
  fill_field_image(image.texels);
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  if (image.texture_n != n || glIsTexture(image.texture) != GL_TRUE) make_texture(n);
  glBindTexture(image.target, image.texture);
  const GLint sampling = filter == ImageFilter::Linear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(image.target, GL_TEXTURE_MIN_FILTER, sampling);
  glTexParameteri(image.target, GL_TEXTURE_MAG_FILTER, sampling);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexSubImage2D(image.target, 0, 0, 0, n, n, GL_RGB, GL_UNSIGNED_BYTE, image.texels.data());
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glEnable(image.target);
  // Texture s runs along a column's rows i, up the screen; t across the columns j, to the
  // right. A rectangle counts in texels, a 2-D texture in fractions of its side.
  const float far = image.kind == ImageTexture::Rectangle ? static_cast<float>(n) : 1.0f;
  const float low = fluid.cell_size;
  const float high = static_cast<float>((n + 1) * static_cast<double>(fluid.cell_size));
  glColor3ub(255, 255, 255);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(low, low);
  glTexCoord2f(0.0f, far);
  glVertex2f(high, low);
  glTexCoord2f(far, far);
  glVertex2f(high, high);
  glTexCoord2f(far, 0.0f);
  glVertex2f(low, high);
  glEnd();
  glPopClientAttrib();
  glPopAttrib();
}
