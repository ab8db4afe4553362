#include "callbacks.h"

#include <GL/freeglut.h>

#include "drawing_limit.h"
#include "fluid_state.h"
#include "frame_cycle.h"
#include "frame_geometry.h"
#include "input_route.h"
#include "picture_export.h"
#include "view_drawing.h"
#include "window_size.h"

namespace {

// Whether the window system shows any of the window. One it does not show gets no display
// callbacks: a window shrunk to a side of 1 at the screen's edge, covered or iconified.
bool window_shown = true;

// The reshape handler of the window. A replayed size that the window does not have yet is
// asked of the window system too, so that the window shows what the replay draws.
void reshape_window(int width, int height) {
  set_up_frame_geometry(width, height);
  cells_have_pixels();
  limit_drawing_to_renderer(width, height);
  if (handling_replayed_event()) request_window_size(width, height);
  glutPostRedisplay();
}

// Nothing is drawn into a window of another size than the frame's (a replayed size the
// window system has not made yet, or cannot make), nor into one larger than the renderer can
// draw; the simulation goes on meanwhile.
void draw_and_show() {
  if (!window_has_frame_size() || !window_drawable()) return;
  draw_frame();
  export_picture_if_due(frames_drawn() + 1);  // read back before the swap shows it
  glutSwapBuffers();
}

void handle_live(const InputEvent& event) {
  if (handle_live_input(event)) glutPostRedisplay();
}

}  // namespace

void install_window_reshape() { set_reshape_handler(reshape_window); }

void display() { run_frame(draw_and_show); }

void reshape(int width, int height) {
  InputEvent event{.kind = InputKind::Reshape, .width = width, .height = height};
  // A resize during a replay is undone: the replay decides the size.
  if (!handle_live_input(event) && replay_running()) {
    request_window_size(fluid.window_width, fluid.window_height);
  }
}

void window_status(int state) {
  window_shown = state == GLUT_FULLY_RETAINED || state == GLUT_PARTIALLY_RETAINED;
}

void idle() {
  // A replay counts frames, not redraws: while the window is not shown its frames run
  // undrawn, so that the recorded events still come, the recorded Escape among them.
  if (!window_shown && replay_running()) {
    run_frame(nullptr);
    return;
  }
  glutPostRedisplay();
}

void timer(int value) {
  glutPostRedisplay();
  glutTimerFunc(1000 / fluid.redraw_rate, timer, value);
}

void keyboard(unsigned char key, int x, int y) {
  handle_live({.kind = InputKind::Key, .key = key, .x = x, .y = y});
}

void mouse(int button, int state, int x, int y) {
  handle_live({.kind = InputKind::Mouse, .button = button, .state = state, .x = x, .y = y});
}

void motion(int x, int y) { handle_live({.kind = InputKind::Motion, .x = x, .y = y}); }
