#include "software_renderer_hint.h"

#include <GL/gl.h>

#include "program_messages.h"
#include "view_drawing.h"

void hint_at_faster_drawing(std::FILE* err) {
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (renderer == nullptr || !layers_would_draw_faster(renderer, view_drawing())) return;
  print_message(err, "the OpenGL renderer, %s, draws in software: --draw=layers draws the same "
                "views several times faster", renderer);
}
