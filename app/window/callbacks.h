// The GLUT callbacks. Input takes the road of input_route.h to the window-free handlers and
// requests a redraw; only the display callback draws.
#pragma once

// Makes reshapes, live and replayed, act on the window.
void install_window_reshape();

void display();
void reshape(int width, int height);
void idle();
void window_status(int state);
void timer(int value);
void keyboard(unsigned char key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
