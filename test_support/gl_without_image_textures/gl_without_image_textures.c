// Preloaded into the program: the renderer as a GL 1.1 one without non-power-of-two textures or
// texture rectangles appears to it, so that the layers fall back to their vertex arrays. The
// window tests check that fallback through it; the window benchmark times the vertex arrays
// beside the image with it. With VELMAR_KEEP_TEXTURE_RECTANGLES=1 in the environment only the
// non-power-of-two textures are hidden, so that the layers draw their image as a rectangle.
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

typedef const GLubyte* (*get_string_function)(GLenum);

static const char* const hidden[] = {"GL_ARB_texture_non_power_of_two", "GL_ARB_texture_rectangle",
                                     "GL_EXT_texture_rectangle", "GL_NV_texture_rectangle"};

static size_t hidden_count(void) {
  const char* keep = getenv("VELMAR_KEEP_TEXTURE_RECTANGLES");
  return keep != NULL && strcmp(keep, "1") == 0 ? 1 : sizeof hidden / sizeof hidden[0];
}

// The real list without the hidden names, made once.
static const char* without_hidden(const char* real) {
  static char* kept;
  if (kept != NULL || real == NULL) return kept != NULL ? kept : real;
  kept = calloc(strlen(real) + 1, 1);
  if (kept == NULL) return real;
  char* copy = strdup(real);
  if (copy == NULL) return real;
  for (char *save = NULL, *name = strtok_r(copy, " ", &save); name != NULL;
       name = strtok_r(NULL, " ", &save)) {
    int keep = 1;
    for (size_t k = 0; k < hidden_count(); ++k) keep &= strcmp(name, hidden[k]) != 0;
    if (!keep) continue;
    if (kept[0] != '\0') strcat(kept, " ");
    strcat(kept, name);
  }
  free(copy);
  return kept;
}

const GLubyte* glGetString(GLenum name) {
  static get_string_function real_get_string;
  if (real_get_string == NULL) real_get_string = (get_string_function)dlsym(RTLD_NEXT, "glGetString");
  if (name == GL_VERSION) return (const GLubyte*)"1.1 (image textures hidden)";
  const GLubyte* real = real_get_string(name);
  if (name != GL_EXTENSIONS) return real;
  return (const GLubyte*)without_hidden((const char*)real);
}
