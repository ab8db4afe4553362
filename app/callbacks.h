// The GLUT callbacks. Each forwards to the window-free logic and requests a redraw; only the
// display callback draws.
#pragma once

void display();
void reshape(int width, int height);
void idle();
void timer(int value);
void keyboard(unsigned char key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
