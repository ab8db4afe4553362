#include "window_size.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <algorithm>

#include "fluid_state.h"

namespace {

constexpr int kLargestWindowSide = 32767;  // X positions and sizes are 16-bit signed

// Set by a request, cleared once the server's window has the frame's size again. Sizes that
// nobody asked for are the window system's own reports, which the frame size follows.
bool size_in_question = false;

bool server_window_has_frame_size() {
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable window = glXGetCurrentDrawable();
  if (display == nullptr || window == 0) return false;
  Window root = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  // A round trip: the answer comes after every request this connection sent before it, so
  // it is the size the renderer finds when it draws.
  if (XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) == 0) {
    return false;
  }
  return static_cast<long>(width) == fluid.window_width &&
         static_cast<long>(height) == fluid.window_height;
}

}  // namespace

int window_side_to_request(int side) { return std::clamp(side, 1, kLargestWindowSide); }

void request_window_size(int width, int height) {
  glutReshapeWindow(window_side_to_request(width), window_side_to_request(height));
  size_in_question = true;
}

bool window_has_frame_size() {
  if (size_in_question && server_window_has_frame_size()) size_in_question = false;
  return !size_in_question;
}
