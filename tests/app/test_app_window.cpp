// The cell display list against a real GL context on a private Xvfb.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "callbacks.h"
#include "cell_list.h"
#include "fluid_state.h"
#include "x_session.h"

// Mesa's driver, loaded and unloaded behind GL's back, leaves allocations that LeakSanitizer
// reports against unknown modules; this binary checks GL state, not the driver's memory.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace {

TEST(CellList, ReshapesReplaceTheListSoExactlyOneIsAlive) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.start("/dev/null"));
  setenv("DISPLAY", xvfb.display_name().c_str(), 1);
  int argc = 1;
  char name[] = "test_app_window";
  char* argv[] = {name, nullptr};
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(fluid.window_width, fluid.window_height);
  glutCreateWindow("cell list");

  build_cell_list();
  const int sizes[][2] = {{512, 512}, {1000, 300}, {500, 500}, {0, 0}, {1, 1}, {512, 512}};
  for (const auto& size : sizes) {
    reshape(size[0], size[1]);
    // A collapsed window still gets a (degenerate) list and nothing to draw goes wrong.
    display();
  }
  EXPECT_EQ(glIsList(fluid.cell_list), GL_TRUE);
  int alive = 0;
  for (GLuint list = 1; list <= 64; ++list) alive += glIsList(list) == GL_TRUE;
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(fluid.cell_size, 4.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glutExit();  // closes the connection before the server goes
}

}  // namespace
