#include "display_check.h"

#include <X11/Xlib.h>

#include <cstdlib>

#include "program_messages.h"

namespace {
Display* checked_display = nullptr;
}  // namespace

bool x_display_reachable(const std::string& display_name, std::FILE* err) {
  Display* display = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
  if (display != nullptr) {
    release_display_check();
    checked_display = display;
    return true;
  }
  const char* variable = std::getenv("DISPLAY");
  const std::string which = !display_name.empty() ? "-display " + display_name
                            : variable != nullptr  ? std::string("DISPLAY=") + variable
                                                   : std::string("DISPLAY is not set");
  print_message(err,
                "cannot open an X display (%s); run it under a virtual X server, e.g. xvfb-run "
                "%s, or with --headless --replay FILE or --headless --frames N",
                which.c_str(), kProgramName.data());
  return false;
}

void release_display_check() {
  if (checked_display == nullptr) return;
  XCloseDisplay(checked_display);
  checked_display = nullptr;
}
