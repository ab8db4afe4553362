#include "callbacks.h"

#include <GL/freeglut.h>

#include "drawing_limit.h"
#include "fluid_state.h"
#include "frame_cycle.h"
#include "frame_geometry.h"
#include "input_route.h"
#include "picture_export.h"
#include "view_drawing.h"

namespace {

// The reshape handler of the window. A replayed size that the window does not have yet is
// asked of the window system too, so that the window shows what the replay draws.
void reshape_window(int width, int height) {
  set_up_frame_geometry(width, height);
  limit_drawing_to_renderer(width, height);
  if (handling_replayed_event()) glutReshapeWindow(width, height);
  glutPostRedisplay();
}

// A window larger than the renderer can draw is left as it is; the simulation goes on.
void draw_and_show() {
  if (!window_drawable()) return;
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
    glutReshapeWindow(fluid.window_width, fluid.window_height);
  }
}

void idle() { glutPostRedisplay(); }

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
