// A freeglut program of a few dozen lines that shows the renderer's own memory growth: it draws
// one frame after another of 15,876 short segments, one glBegin(GL_LINES) each, optionally with
// 15,876 line-mode quads from a display list inside glPushAttrib(GL_POLYGON_BIT), and prints its
// resident memory every 10 s. Nothing in it keeps memory between frames. Under Mesa llvmpipe
// with rasterizer threads (the default) the resident memory keeps rising; with LP_NUM_THREADS=0
// or GALLIUM_DRIVER=softpipe it stays flat.
// Build: c++ -O2 scripts/gl_growth.cpp -o gl_growth -lglut -lGL
// Usage: gl_growth [lines|outlines|both] [seconds]   (under an X server, e.g. Xvfb)
#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool lines = true;
bool outlines = true;
int seconds = 120;
GLuint quad = 0;
auto start = std::chrono::steady_clock::now();
int frames = 0;
int reported = -1;

long resident_kib() {
  long pages = 0, resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * 4;
}

void display() {
  glClear(GL_COLOR_BUFFER_BIT);
  for (int i = 1; i <= 126; ++i) {
    for (int j = 1; j <= 126; ++j) {
      const float x = j * 4.0f + 2.0f, y = i * 4.0f + 2.0f;
      if (lines) {
        glColor3ub(255, 0, 0);
        glPushMatrix();
        glTranslatef(x, y, 0.0f);
        glBegin(GL_LINES);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(1.5f, 1.0f, 0.0f);
        glEnd();
        glPopMatrix();
      }
      if (outlines) {
        glColor3ub(0, 255, 0);
        glPushMatrix();
        glPushAttrib(GL_POLYGON_BIT);
        glPolygonMode(GL_FRONT, GL_LINE);
        glTranslatef(x, y, 0.0f);
        glCallList(quad);
        glPopAttrib();
        glPopMatrix();
      }
    }
  }
  glutSwapBuffers();
  ++frames;
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::steady_clock::now() - start).count();
  if (elapsed / 10 != reported) {
    reported = static_cast<int>(elapsed / 10);
    std::printf("%4lld s  %6d frames  %8ld KiB resident\n", static_cast<long long>(elapsed),
                frames, resident_kib());
    std::fflush(stdout);
  }
  if (elapsed >= seconds) std::exit(0);
  glutPostRedisplay();
}

}  // namespace

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "lines") == 0) outlines = false;
  if (argc > 1 && std::strcmp(argv[1], "outlines") == 0) lines = false;
  if (argc > 2) seconds = std::atoi(argv[2]);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_RGB);
  glutInitWindowSize(512, 512);
  glutCreateWindow("gl_growth");
  quad = glGenLists(1);
  glNewList(quad, GL_COMPILE);
  glBegin(GL_QUADS);
  glVertex3f(-2, 2, 0);
  glVertex3f(-2, -2, 0);
  glVertex3f(2, -2, 0);
  glVertex3f(2, 2, 0);
  glEnd();
  glEndList();
  glMatrixMode(GL_PROJECTION);
  glOrtho(0, 512, 0, 512, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glutDisplayFunc(display);
  glutMainLoop();
}
